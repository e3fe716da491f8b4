#pragma once

#include <QString>

namespace plume {

// What can be kept of a settings text that reads as damaged (a file cut off in the middle of a
// tag, a closing tag that lost a letter): a new document holding, in their order, the groups
// whose opening tag comes before their closing tag, each with the keys of its body that read
// the same way. Everything else, the damaged fragment included, is left out, so that the text
// reads without damage and the settings it lost fall back to their defaults.
QString soundSettingsDocument(const QString& text);

// The key lines of a group body that read without damage, each on a line of its own.
QString soundGroupBody(const QString& body);

}  // namespace plume
