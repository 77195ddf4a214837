#include "app/Dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace vellumark::app {

QString QtNameFilters(const QString& designerFilter) {
    const QStringList parts = designerFilter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& text = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (text.endsWith('(' + patterns + ')')) {
            filters << text;
        } else {
            filters << text + " (" + patterns + ')';
        }
    }
    return filters.join(";;");
}

namespace {

class QtDialogs final : public Dialogs {
public:
    QString OpenDocumentPath(QWidget* parent) override {
        return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                            QtNameFilters(kOpenDialog1Filter));
    }

    QString OpenCoverPath(QWidget* parent) override {
        return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                            QtNameFilters(kOpenDialog2Filter));
    }

    QString ChooseFolder(QWidget* parent, const QString& initialFolder) override {
        return QFileDialog::getExistingDirectory(parent, "Please Choose a Folder", initialFolder,
                                                 QFileDialog::ShowDirsOnly);
    }

    void Message(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    bool ConfirmOverwrite(QWidget* parent) override {
        QMessageBox box(QMessageBox::Information, "Information", "The file is existing. Overwrite?",
                        QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton("&Yes", QMessageBox::YesRole);
        QPushButton* no = box.addButton("&No", QMessageBox::NoRole);
        box.setDefaultButton(no);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes;
    }

    void ShowError(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Critical, "Vellumark 3.0", text, QMessageBox::Ok, parent);
        box.exec();
    }

    void OpenUrl(const QUrl& url) override { QDesktopServices::openUrl(url); }
};

}  // namespace

std::unique_ptr<Dialogs> MakeQtDialogs() {
    return std::make_unique<QtDialogs>();
}

}  // namespace vellumark::app
