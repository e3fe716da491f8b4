#pragma once

#include "platform/thumbnails/ThumbnailGrid.h"
#include "platform/thumbnails/ThumbnailPictureRenderer.h"

#include <QVariant>
#include <QWidget>

namespace plume {

// The thumbnail control as the chooser window addresses it: by member numbers only, as it
// addressed the outside thumbnail component it was designed for. Behind the numbers is our
// own ThumbnailGrid.
//
//   64  set  truth value     kept; nothing depends on it
//   26  set  folder path     the folder to list
//   27  set  file type       only files of this type are listed ("wmf")
//   39  set  16-bit integer  thumbnail size in pixels; also read back
//   22  set  16-bit integer  columns
//   23  set  16-bit integer  rows
//   25  set  truth value     file names under the thumbnails
//    1  call                first step of listing: the grid is emptied
//    2  call                second step: the folder is listed with the settings above
//   55  call -> text        the picked file's name, without folder
//
// Grid settings take effect at the next listing (member 2). A pick (double-click or Enter
// on a thumbnail) raises Pick().
//
// Beside the numbered members, setCurrentName() names the thumbnail that is current (the
// keyboard's starting point) when the folder is listed.
class ThumbnailGridFacade : public QWidget {
    Q_OBJECT
  public:
    enum Member : int {
        kFlag64 = 64,
        kFolder = 26,
        kFileType = 27,
        kThumbSize = 39,
        kColumns = 22,
        kRows = 23,
        kShowNames = 25,
        kClear = 1,
        kList = 2,
        kPickedName = 55,
    };

    // A facade over a grid that draws with `renderer` and caches in `cache` (may be null).
    ThumbnailGridFacade(ThumbnailRenderer renderer, std::shared_ptr<ThumbnailCache> cache,
                        QWidget* parent = nullptr);
    // A facade over a grid that draws picture files and caches in the user's cache folder.
    explicit ThumbnailGridFacade(QWidget* parent = nullptr);

    // Sets a property member; false for a number that is no settable member.
    bool setMember(int member, const QVariant& value);
    // Reads a property member back; an invalid QVariant for an unknown number.
    QVariant member(int member) const;
    // Invokes a method member; member 55 gives the picked name, the others nothing.
    QVariant invoke(int member);

    // The file (name without folder, any letter case) whose thumbnail is made current at the
    // next listing; the first thumbnail when it is not listed. A listing made again keeps
    // the thumbnail that was current.
    void setCurrentName(const QString& name) { m_currentName = name; }

    ThumbnailGrid& grid() { return *m_grid; }
    // How many listings (member 2) have run since the facade was made.
    int listingCount() const { return m_listingCount; }

  signals:
    // The user picked a thumbnail; member 55 names it.
    void Pick();

  private:
    ThumbnailGrid* m_grid;
    bool m_flag64 = false;
    QString m_folder;
    QString m_type;
    ThumbnailLayout m_layout;
    QString m_pickedName;
    QString m_currentName;
    int m_listingCount = 0;
};

}  // namespace plume
