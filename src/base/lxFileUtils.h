#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Small whole-file routines. No instances: every operation is class-level and thread-safe.
class TlxFileUtils {
public:
    TlxFileUtils() = delete;

    // Packed MS-DOS date-time of a file or folder: date in the upper 16 bits (year - 1980 in bits 31-25, month in
    // 24-21, day in 20-16), time in the lower 16 bits (hour 15-11, minute 10-5, seconds / 2 in 4-0).
    // useCreationTime takes the birth time where the file system records one, else the status-change time;
    // otherwise the last-write time is used. The time is converted to local time unless keepUniversalTime is set.
    // Returns -1 when the path does not exist or the time lies outside the years 1980 to 2107.
    static qint32 GetFileDate(const QString &path, bool useCreationTime = false, bool keepUniversalTime = false);

    // Reads a whole file without decoding it.
    //   bytesPerChar 2: the bytes are UTF-16 LE code units exactly as they were written (no BOM handling); an odd
    //                   trailing byte is dropped (compare QFileInfo::size() when an odd length matters).
    //   bytesPerChar 1: every byte becomes one character (Latin-1).
    // An empty file gives the empty string. Throws ElxError when the file cannot be opened or read; any other
    // bytesPerChar throws std::invalid_argument.
    static QString ReadText(const QString &path, int bytesPerChar = 2);

    // Writes a whole text without a byte-order mark and without conversion:
    //   bytesPerChar 2: UTF-16 LE code units, "2 bytes per character";
    //   bytesPerChar 1: one byte per character (Latin-1; characters above U+00FF are written as '?').
    // Missing parent folders are created first (a failure there shows up when the file is opened). With append
    // the text goes after the existing content; otherwise the file is cut to the new text (an empty text leaves
    // an existing file empty). Throws ElxError when the file cannot be opened or written; any other bytesPerChar
    // throws std::invalid_argument.
    static void WriteText(const QString &path, const QString &text, int bytesPerChar = 2, bool append = false);

    // The folder part of a path, up to and including its last '/'; empty when it has none.
    static QString FolderPart(const QString &path);
    // Text split into lines: CR, LF and CR LF each end a line; a final line end adds no empty line.
    static QStringList SplitLines(const QString &text);
};
