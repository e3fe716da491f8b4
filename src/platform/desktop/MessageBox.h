#pragma once

#include <QString>
#include <functional>

namespace plume {

// Every message box of Plume: OK button only, no icon, caption "Plume". The text's lines
// are separated by a single CR, as the messages are defined; on screen CR becomes a line
// break. Tests replace the sink to capture the texts instead of opening a dialog.
using MessageSink = std::function<void(const QString& text)>;

void showMessage(const QString& text);

// Installs a sink in place of the dialog; an empty function restores the dialog.
void setMessageSink(MessageSink sink);

// The program's title, the caption of every message box and of the main window.
inline const QString kProgramTitle = QStringLiteral("Plume");

}  // namespace plume
