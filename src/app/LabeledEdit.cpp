#include "app/LabeledEdit.h"

namespace vellumark::app {

LabeledEdit::LabeledEdit(const QString& caption, QWidget* parent)
    : QLineEdit(parent), editLabel_(new QLabel(caption, parent)) {
    editLabel_->setBuddy(this);
}

void LabeledEdit::SetBounds(int left, int top, int width, int height) {
    setGeometry(left, top, width, height);
    editLabel_->adjustSize();
    editLabel_->move(left, top - editLabel_->height() - 3);
}

}  // namespace vellumark::app
