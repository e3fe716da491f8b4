#pragma once

#include <QByteArray>

namespace plume::test {

// The bytes of drawing `index` of importer `tag`: each one differs from every other in
// content and length, so that a file written over or mixed up shows.
inline QByteArray importPeerDrawing(const QByteArray& tag, int index) {
    const QByteArray head = tag + ' ' + QByteArray::number(index) + '\n';
    return head + QByteArray(100 + (index * 37) % 4000, static_cast<char>('a' + index % 26));
}

}  // namespace plume::test
