#pragma once
// An edit box with its caption standing above it.

#include <QLabel>
#include <QLineEdit>

namespace vellumark::app {

class LabeledEdit : public QLineEdit {
    Q_OBJECT
public:
    LabeledEdit(const QString& caption, QWidget* parent);

    // Places the edit box; the caption goes 3 pixels above it, at the same left.
    void SetBounds(int left, int top, int width, int height);
    QLabel* EditLabel() const { return editLabel_; }

private:
    QLabel* editLabel_;
};

}  // namespace vellumark::app
