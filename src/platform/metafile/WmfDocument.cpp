// Placeholder until the WMF reader lands: WMF bytes are refused with a clear message.
#include "platform/metafile/WmfDocument.h"

namespace plume::metafile {

ParseResult parseWmfDocument(const QByteArray&) {
    return ParseError{0, QStringLiteral("WMF is not supported yet.")};
}

}  // namespace plume::metafile
