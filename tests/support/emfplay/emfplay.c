/*
 * Draws EMF files the way Windows programs do, with GDI's own player or through GDI+, to 24-bit BMP files: the
 * fidelity check runs it under Wine to see a slide as Word and PowerPoint would show it.
 *
 * Usage: emfplay.exe [--gdiplus] WIDTH LISTFILE
 *   LISTFILE holds one line a file, "IN.emf<TAB>OUT.bmp", in UTF-8; Unix paths are taken as Wine maps them. Each
 *   picture is WIDTH pixels wide, its height from the aspect of the EMF's frame, on white. One line a file on
 *   standard output, in the list's order: "ok", "partial" (GDI's player reported a record it could not play; the
 *   picture is written all the same) or "error: why", then a tab and the input's name. Many files a start, since
 *   Wine takes seconds to start. Exit code 0 when every file has its picture, 1 when some have none, 2 for a
 *   wrong call, 3 when a file crashed or hung the player (its line says so; the files after it were not drawn).
 */
#include <windows.h>
/* after windows.h, whose types it uses */
#include <gdiplus.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A player that hangs on a damaged file must not hold up the whole list: past this the process gives up. */
#define FILE_TIMEOUT_MS 60000

static volatile LONG g_busy;     /* 1 while a file is being drawn */
static volatile LONG g_progress; /* counts finished files, for the watchdog */
static const char *g_current;    /* the name of the file being drawn, for the crash and time-out lines */

static void say(const char *status, const char *name) {
    fprintf(stdout, "%s\t%s\n", status, name);
    fflush(stdout);
}

/* A crash inside the player still leaves a line for the file that caused it, so the caller can go on after it. */
static LONG WINAPI on_crash(EXCEPTION_POINTERS *info) {
    char status[64];
    snprintf(status, sizeof status, "error: crashed (exception 0x%08lx)",
             (unsigned long)info->ExceptionRecord->ExceptionCode);
    say(status, g_current ? g_current : "?");
    ExitProcess(3);
    return EXCEPTION_EXECUTE_HANDLER;
}

static DWORD WINAPI watchdog(void *unused) {
    (void)unused;
    for (;;) {
        LONG seen = g_progress;
        Sleep(FILE_TIMEOUT_MS);
        if (g_busy && g_progress == seen) {
            say("error: timed out", g_current ? g_current : "?");
            ExitProcess(3);
        }
    }
    return 0;
}

/* A UTF-8 path as a Windows one: Wine names a Unix path's DOS form itself; anything else is taken as it is. */
static WCHAR *windows_path(const char *utf8) {
    typedef WCHAR *(CDECL * DosName)(const char *);
    static DosName dos_name;
    static int looked;
    if (!looked) {
        dos_name = (DosName)(void *)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name");
        looked = 1;
    }
    if (utf8[0] == '/' && dos_name) {
        WCHAR *dos = dos_name(utf8);
        if (dos) {
            size_t n = wcslen(dos) + 1;
            WCHAR *copy = malloc(n * sizeof(WCHAR));
            if (copy)
                memcpy(copy, dos, n * sizeof(WCHAR));
            HeapFree(GetProcessHeap(), 0, dos);
            return copy;
        }
    }
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, NULL, 0);
    if (n <= 0)
        return NULL;
    WCHAR *wide = malloc(n * sizeof(WCHAR));
    if (wide)
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, n);
    return wide;
}

static char *utf8_of(const WCHAR *wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, NULL, 0, NULL, NULL);
    char *s = n > 0 ? malloc(n) : NULL;
    if (s)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, s, n, NULL, NULL);
    return s;
}

static int write_bmp(const WCHAR *path, int width, int height, const void *bits, DWORD stride) {
    BITMAPFILEHEADER file = {0};
    BITMAPINFOHEADER info = {0};
    DWORD size = stride * (DWORD)height;
    file.bfType = 0x4D42; /* "BM" */
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + size;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; /* bottom-up, as the section's rows lie */
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = size;
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD done = 0;
    BOOL ok = WriteFile(h, &file, sizeof file, &done, NULL) && done == sizeof file &&
              WriteFile(h, &info, sizeof info, &done, NULL) && done == sizeof info &&
              WriteFile(h, bits, size, &done, NULL) && done == size;
    /* A picture cut short by a full disk must not pass for a drawing. */
    ok = CloseHandle(h) && ok;
    if (!ok)
        DeleteFileW(path);
    return ok;
}

/*
 * Wine's player (at least up to Wine 8) hands its ExtCreatePen the record's style array even when the record has
 * no entries, and ExtCreatePen then refuses every pen that is not user-styled: every line an EMR_EXTCREATEPEN pen
 * should draw comes out in the pen selected before it, a hairline in black. Windows makes the pen. The record's
 * fields are read by their place in the file: mingw's EXTLOGPEN has a pointer-sized hatch on 64 bits, the file's
 * has four bytes.
 */
struct ext_pen {
    DWORD index, style, width;
    LOGBRUSH brush;
};

static DWORD field(const ENHMETARECORD *rec, DWORD at) {
    DWORD v;
    memcpy(&v, (const BYTE *)rec + at, sizeof v);
    return v;
}

/* Whether the record is a pen Windows makes and Wine refuses: no style array, no bitmap brush. */
static int refused_pen(const ENHMETARECORD *rec, struct ext_pen *pen) {
    if (rec->iType != EMR_EXTCREATEPEN || rec->nSize < 52)
        return 0;
    const DWORD offBmi = field(rec, 12), cbBmi = field(rec, 16), count = field(rec, 48);
    pen->index = field(rec, 8);
    pen->style = field(rec, 28);
    pen->width = field(rec, 32);
    pen->brush.lbStyle = field(rec, 36);
    pen->brush.lbColor = field(rec, 40);
    pen->brush.lbHatch = field(rec, 44);
    return count == 0 && !offBmi && !cbBmi && (pen->style & PS_STYLE_MASK) != PS_USERSTYLE &&
           pen->brush.lbStyle != BS_PATTERN && pen->brush.lbStyle != BS_DIBPATTERN &&
           pen->brush.lbStyle != BS_DIBPATTERNPT;
}

struct playback {
    int failed; /* records the player reported it could not play */
};

static int CALLBACK play_gdi_record(HDC dc, HANDLETABLE *table, const ENHMETARECORD *rec, int handles, LPARAM data) {
    struct playback *playback = (struct playback *)data;
    struct ext_pen pen;
    if (refused_pen(rec, &pen) && pen.index > 0 && (int)pen.index < handles) {
        HPEN made = ExtCreatePen(pen.style, pen.width, &pen.brush, 0, NULL);
        if (made) {
            table->objectHandle[pen.index] = made;
            return 1;
        }
    }
    if (!PlayEnhMetaFileRecord(dc, table, rec, (UINT)handles))
        ++playback->failed;
    return 1; /* a record that fails stops none after it, as in PlayEnhMetaFile */
}

/* The C headers declare it for C++ only, with a reference where the library takes a pointer. */
GpStatus WINGDIPAPI GdipEnumerateMetafileSrcRectDestPoints(GpGraphics *, GDIPCONST GpMetafile *, GDIPCONST GpPointF *,
                                                           INT, GDIPCONST GpRectF *, GpUnit, EnumerateMetafileProc,
                                                           VOID *, GDIPCONST GpImageAttributes *);

/* GDI+ keeps its own handle table, so the pen goes in as the EMR_CREATEPEN Wine's own recorder writes for it. */
/*
 * An EMF+ object larger than one record (a picture, mostly) comes in parts, each flagged as continued and opening
 * with the whole object's size. Windows' GDI+ puts the parts together; Wine's (at least up to Wine 8) takes each
 * part for a whole object and draws none of the pictures. The parts are gathered here and played as one record.
 */
#define EMFPLUS_OBJECT 0x4008
#define EMFPLUS_CONTINUED 0x8000
#define EMFPLUS_LARGEST_OBJECT (256u << 20)

struct gdiplus_playback {
    GpMetafile *metafile;
    BYTE *object;      /* the parts so far */
    UINT object_size;  /* the whole object's size, from its first part */
    UINT object_have;  /* bytes gathered */
    UINT object_flags; /* its type and id */
};

/* Whether the record was a part of a continued object (then it is played once the object is whole). */
static int gather_object(struct gdiplus_playback *playback, UINT flags, UINT size, const BYTE *data) {
    if (!(flags & EMFPLUS_CONTINUED) || !data || size < 4)
        return 0;
    UINT total;
    memcpy(&total, data, 4);
    const UINT part = size - 4;
    const UINT id = flags & 0x7FFF;
    if (!playback->object || playback->object_flags != id || playback->object_size != total) {
        /* A new object: a part left over from one never finished is dropped, as a reader would. */
        free(playback->object);
        playback->object = total && total <= EMFPLUS_LARGEST_OBJECT ? malloc(total) : NULL;
        playback->object_size = total;
        playback->object_have = 0;
        playback->object_flags = id;
        if (!playback->object)
            return 1;
    }
    const UINT room = playback->object_size - playback->object_have;
    const UINT take = part < room ? part : room;
    memcpy(playback->object + playback->object_have, data + 4, take);
    playback->object_have += take;
    if (playback->object_have == playback->object_size) {
        GdipPlayMetafileRecord(playback->metafile, EMFPLUS_OBJECT, id, playback->object_size, playback->object);
        free(playback->object);
        playback->object = NULL;
    }
    return 1;
}

static BOOL CALLBACK play_gdiplus_record(EmfPlusRecordType type, UINT flags, UINT size, const BYTE *data, VOID *user) {
    struct gdiplus_playback *playback = user;
    if (type == EmfRecordTypeExtCreatePen && data && size + 8 >= 52) {
        BYTE whole[64] = {0};
        ENHMETARECORD *rec = (ENHMETARECORD *)whole;
        rec->iType = EMR_EXTCREATEPEN;
        rec->nSize = 52;
        memcpy(whole + 8, data, 44);
        struct ext_pen pen;
        if (refused_pen(rec, &pen) && pen.brush.lbStyle == BS_SOLID) {
            DWORD plain[5] = {pen.index, pen.style, pen.width, 0, (DWORD)pen.brush.lbColor};
            GdipPlayMetafileRecord(playback->metafile, EmfRecordTypeCreatePen, 0, sizeof plain, (const BYTE *)plain);
            return TRUE;
        }
    }
    if (type == EMFPLUS_OBJECT && gather_object(playback, flags, size, data))
        return TRUE;
    GdipPlayMetafileRecord(playback->metafile, type, flags, size, data);
    return TRUE;
}

/* Draws one EMF; returns the status word for its line ("ok", "partial" or "error: ..."). */
static const char *draw(const WCHAR *in, const WCHAR *out, int width, int gdiplus) {
    static char why[160];
    HENHMETAFILE emf = GetEnhMetaFileW(in);
    if (!emf)
        return "error: not an EMF that GDI reads";
    ENHMETAHEADER header;
    if (!GetEnhMetaFileHeader(emf, sizeof header, &header)) {
        DeleteEnhMetaFile(emf);
        return "error: no header";
    }
    /* The frame is inclusive, in hundredths of a millimetre; the picture keeps its aspect. */
    double fw = (double)header.rclFrame.right - header.rclFrame.left + 1;
    double fh = (double)header.rclFrame.bottom - header.rclFrame.top + 1;
    if (fw <= 1 || fh <= 1 || fh / fw > 100 || fw / fh > 100) {
        DeleteEnhMetaFile(emf);
        return "error: empty or degenerate frame";
    }
    int height = (int)(width * fh / fw + 0.5);
    if (height < 1)
        height = 1;

    BITMAPINFO bmi = {0};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP section = dc ? CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0) : NULL;
    if (!section) {
        if (dc)
            DeleteDC(dc);
        DeleteEnhMetaFile(emf);
        return "error: no bitmap of that size";
    }
    HGDIOBJ old = SelectObject(dc, section);
    const DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
    memset(bits, 0xFF, stride * (size_t)height);

    const char *status = "ok";
    if (!gdiplus) {
        RECT all = {0, 0, width, height};
        struct playback playback = {0};
        if (!EnumEnhMetaFile(dc, emf, play_gdi_record, &playback, &all) || playback.failed)
            status = "partial";
    } else {
        GpMetafile *metafile = NULL;
        GpGraphics *graphics = NULL;
        GpStatus s = GdipCreateMetafileFromEmf(emf, FALSE, &metafile);
        if (s == Ok)
            s = GdipCreateFromHDC(dc, &graphics);
        if (s == Ok) {
            GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
            GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAlias);
            GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
            /* What GdipDrawImageRect does, with a record player of our own. */
            struct gdiplus_playback playback = {metafile, NULL, 0, 0, 0};
            GpRectF bounds;
            GpUnit unit;
            s = GdipGetImageBounds((GpImage *)metafile, &bounds, &unit);
            const GpPointF corners[3] = {{0, 0}, {(REAL)width, 0}, {0, (REAL)height}};
            if (s == Ok)
                s = GdipEnumerateMetafileSrcRectDestPoints(graphics, metafile, corners, 3, &bounds, unit,
                                                           play_gdiplus_record, &playback, NULL);
            free(playback.object);
        }
        if (graphics)
            GdipDeleteGraphics(graphics);
        if (metafile)
            GdipDisposeImage((GpImage *)metafile);
        if (s != Ok) {
            snprintf(why, sizeof why, "error: GDI+ status %d", (int)s);
            status = why;
        }
    }
    GdiFlush();
    if (strncmp(status, "error", 5) != 0 && !write_bmp(out, width, height, bits, stride))
        status = "error: the picture could not be written";
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
    DeleteEnhMetaFile(emf);
    return status;
}

int wmain(int argc, WCHAR **argv) {
    int gdiplus = 0, arg = 1;
    if (arg < argc && wcscmp(argv[arg], L"--gdiplus") == 0) {
        gdiplus = 1;
        ++arg;
    }
    if (argc - arg != 2) {
        fprintf(stderr, "usage: emfplay.exe [--gdiplus] WIDTH LISTFILE\n");
        return 2;
    }
    const int width = _wtoi(argv[arg]);
    if (width < 1 || width > 20000) {
        fprintf(stderr, "emfplay: width must be 1 to 20000 pixels\n");
        return 2;
    }
    char *list_name = utf8_of(argv[arg + 1]);
    WCHAR *list_path = list_name ? windows_path(list_name) : NULL;
    FILE *list = list_path ? _wfopen(list_path, L"rb") : NULL;
    if (!list) {
        fprintf(stderr, "emfplay: cannot read %s\n", list_name ? list_name : "the list");
        return 2;
    }

    ULONG_PTR token = 0;
    if (gdiplus) {
        GdiplusStartupInput input = {1, NULL, FALSE, FALSE};
        if (GdiplusStartup(&token, &input, NULL) != Ok) {
            fprintf(stderr, "emfplay: GDI+ does not start\n");
            return 2;
        }
    }
    SetUnhandledExceptionFilter(on_crash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    HANDLE dog = CreateThread(NULL, 0, watchdog, NULL, 0, NULL);
    if (dog)
        CloseHandle(dog);

    int failed = 0;
    char line[8192];
    while (fgets(line, sizeof line, list)) {
        size_t n = strlen(line);
        while (n && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = 0;
        if (!n)
            continue;
        char *tab = strchr(line, '\t');
        if (!tab) {
            say("error: no tab between input and output", line);
            ++failed;
            continue;
        }
        *tab = 0;
        WCHAR *in = windows_path(line), *out = windows_path(tab + 1);
        const char *status = "error: path not convertible";
        g_current = line;
        InterlockedExchange(&g_busy, 1);
        if (in && out)
            status = draw(in, out, width, gdiplus);
        InterlockedExchange(&g_busy, 0);
        InterlockedIncrement(&g_progress);
        say(status, line);
        failed += strncmp(status, "error", 5) == 0;
        free(in);
        free(out);
    }
    fclose(list);
    if (gdiplus)
        GdiplusShutdown(token);
    return failed ? 1 : 0;
}
