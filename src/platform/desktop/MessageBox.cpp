#include "platform/desktop/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace plume {
namespace {

MessageSink& sink() {
    static MessageSink s;
    return s;
}

}  // namespace

void setMessageSink(MessageSink s) {
    sink() = std::move(s);
}

void showMessage(const QString& text) {
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, QString(text).replace(u'\r', u'\n'),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

}  // namespace plume
