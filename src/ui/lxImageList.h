#pragma once

#include <QIcon>
#include <QPixmap>

// The program's 16x16 images, by the indexes the windows and the result list use.
class TlxImageList {
public:
    enum Index {
        Pending = 0,   // blue triangle: result row not yet done
        Success = 1,   // green tick: converted
        Failure = 2,   // red cross: failed
        Open = 3,      // open folder with a green arrow
        New = 4,       // new page with a star
        Save = 5,      // diskette
        SaveAs = 6,    // two diskettes
        Update = 7,    // two green arrows in a circle
        Help = 8,      // blue question mark
        HomePage = 9,  // house
        Supports = 10, // envelope
        About = 11,    // speech bubble with "i"
        Preview = 12,  // four small slides on a board
        Config = 14,   // crossed hammer and wrench
        Count = 15
    };

    TlxImageList() = delete;

    // The image at an index; a null icon for an index without a picture.
    static QIcon Icon(int index);
    // The product picture of the About window, drawn at size x size pixels.
    static QPixmap ProductPicture(int size);
};
