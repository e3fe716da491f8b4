#include "platform/desktop/Usr.h"

namespace Usr {

QString sUsrFld;
QString sExeNm;
std::shared_ptr<plume::FileSystemObject> oFso;

void F_FsoChk() {
    if (!oFso) oFso = std::make_shared<plume::FileSystemObject>();
}

}  // namespace Usr
