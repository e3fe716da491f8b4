// importpeer FOLDER TAG COUNT: stores COUNT drawings into FOLDER as numbered files, as a
// Plume importing there at the same time as another would. Every other store starts from
// number 1 with a list of taken names that is out of date (empty), so that it must pass over
// every name taken meanwhile; the others read the folder first, as an import does. Exits 0
// when every drawing was stored.
#include "ImportPeerDrawing.h"
#include "main_window/NumberedFiles.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: importpeer FOLDER TAG COUNT\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QByteArray tag(argv[2]);
    const int count = std::atoi(argv[3]);
    const QSet<QString> outOfDate;
    for (int i = 0; i < count; ++i) {
        const QByteArray drawing = plume::test::importPeerDrawing(tag, i);
        plume::Expected<QString> stored = plume::Expected<QString>::failure("not stored");
        if (i % 2 == 0) {
            stored = plume::storeNewNumberedFile(folder, 1, drawing, &outOfDate);
        } else {
            const auto scan = plume::scanNumberedFolder(folder);
            if (scan)
                stored = plume::storeNewNumberedFile(folder, scan.value().next, drawing,
                                                     &scan.value().takenLower);
        }
        if (!stored) {
            std::fprintf(stderr, "%s\n", stored.error().toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
