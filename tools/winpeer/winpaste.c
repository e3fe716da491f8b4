/* winpaste: a Windows program that pastes a metafile, as drawing programs under Wine do.
 *
 *   winpaste [--wait SECONDS] OUT [W H]
 *
 * Waits (30 seconds unless told) until the clipboard offers CF_ENHMETAFILE, then writes the
 * formats it offers to standard output ("formats: ..." with the picture's sizes) and
 *   OUT.emf  the bytes of CF_ENHMETAFILE
 *   OUT.wmf  CF_METAFILEPICT as a placeable WMF (raw when it gives no size)
 *   OUT.bmp  the EMF drawn by GDI (PlayEnhMetaFile) on white, W x H pixels (its frame at
 *            96 dpi unless given)
 * Exit codes: 0 done, 1 usage, 3 no metafile on the clipboard in time, 4 cannot write. */
#include "winpeer.h"

static const char *format_name(UINT format, char *buffer, int size)
{
    switch (format) {
    case CF_METAFILEPICT: return "CF_METAFILEPICT";
    case CF_ENHMETAFILE: return "CF_ENHMETAFILE";
    case CF_DIB: return "CF_DIB";
    case CF_DIBV5: return "CF_DIBV5";
    case CF_BITMAP: return "CF_BITMAP";
    case CF_TEXT: return "CF_TEXT";
    case CF_UNICODETEXT: return "CF_UNICODETEXT";
    }
    if (GetClipboardFormatNameA(format, buffer, size)) return buffer;
    snprintf(buffer, (size_t)size, "%u", format);
    return buffer;
}

static void list_formats(void)
{
    UINT format = 0;
    char name[256];
    printf("formats:");
    while ((format = EnumClipboardFormats(format)) != 0)
        printf(" %s", format_name(format, name, sizeof name));
    printf("\n");
}

/* The window origin and extent the WMF's records set (the last of each). */
static int wmf_window(const BYTE *bytes, size_t size, short box[4])
{
    size_t at = 18;
    int found = 0;
    box[0] = box[1] = box[2] = box[3] = 0;
    while (at + 6 <= size) {
        const size_t words = read32(bytes + at);
        const unsigned function = read16(bytes + at + 4);
        if (words < 3 || words > (size - at) / 2) break;
        if (words >= 5 && (function == 0x020B || function == 0x020C)) {
            const short y = (short)read16(bytes + at + 6), x = (short)read16(bytes + at + 8);
            if (function == 0x020B) {
                box[0] = x;
                box[1] = y;
            } else {
                box[2] = x;
                box[3] = y;
                found = 1;
            }
        }
        at += words * 2;
    }
    box[2] = (short)(box[0] + box[2]);
    box[3] = (short)(box[1] + box[3]);
    return found;
}

/* CF_METAFILEPICT gives the size in 0.01 mm beside the WMF; a placeable header carries it in
 * the file: the window's box at the units per inch that make it that wide. */
static int write_metafile_picture(const wchar_t *path)
{
    const METAFILEPICT *picture;
    HANDLE global = GetClipboardData(CF_METAFILEPICT);
    UINT size;
    BYTE *bytes;
    short box[4];
    int ok = 0;
    if (!global || !(picture = GlobalLock(global))) return 0;
    size = GetMetaFileBitsEx(picture->hMF, 0, NULL);
    printf("metafilepict: mm %ld extent %ld %ld\n", (long)picture->mm, (long)picture->xExt,
           (long)picture->yExt);
    if (size && (bytes = malloc(size + 22)) != NULL) {
        GetMetaFileBitsEx(picture->hMF, size, bytes + 22);
        if (picture->xExt > 0 && wmf_window(bytes + 22, size, box) && box[2] != box[0]) {
            unsigned checksum = 0;
            int i;
            const long inch = MulDiv(abs(box[2] - box[0]), 2540, picture->xExt);
            memset(bytes, 0, 22);
            bytes[0] = 0xD7, bytes[1] = 0xCD, bytes[2] = 0xC6, bytes[3] = 0x9A;
            memcpy(bytes + 6, box, 8);
            bytes[14] = (BYTE)inch;
            bytes[15] = (BYTE)(inch >> 8);
            for (i = 0; i < 10; ++i) checksum ^= read16(bytes + 2 * i);
            bytes[20] = (BYTE)checksum;
            bytes[21] = (BYTE)(checksum >> 8);
            ok = write_file(path, bytes, size + 22);
        } else {
            ok = write_file(path, bytes + 22, size);
        }
        free(bytes);
    }
    GlobalUnlock(global);
    return ok;
}

/* The EMF drawn by GDI into a 24-bit bitmap, written as a BMP file. */
static int write_rendering(HENHMETAFILE emf, int width, int height, const wchar_t *path)
{
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFOHEADER info;
    BITMAPFILEHEADER file;
    void *pixels = NULL;
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bitmap, old;
    RECT all = {0, 0, width, height};
    BYTE *out;
    int ok = 0;
    memset(&info, 0, sizeof info);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    bitmap = CreateDIBSection(dc, (BITMAPINFO *)&info, DIB_RGB_COLORS, &pixels, NULL, 0);
    if (!bitmap) {
        DeleteDC(dc);
        return 0;
    }
    old = SelectObject(dc, bitmap);
    FillRect(dc, &all, GetStockObject(WHITE_BRUSH));
    PlayEnhMetaFile(dc, emf, &all);
    GdiFlush();
    memset(&file, 0, sizeof file);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)stride * (DWORD)height;
    if ((out = malloc(file.bfSize)) != NULL) {
        memcpy(out, &file, sizeof file);
        memcpy(out + sizeof file, &info, sizeof info);
        memcpy(out + file.bfOffBits, pixels, (size_t)stride * (size_t)height);
        ok = write_file(path, out, file.bfSize);
        free(out);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ok;
}

static int paste(HWND window, const wchar_t *out, int width, int height)
{
    wchar_t path[MAX_PATH];
    ENHMETAHEADER header;
    HENHMETAFILE emf;
    int ok;
    if (!open_clipboard(window)) return 3;
    list_formats();
    emf = GetClipboardData(CF_ENHMETAFILE);
    if (!emf || !GetEnhMetaFileHeader(emf, sizeof header, &header)) {
        CloseClipboard();
        return 3;
    }
    if (width <= 0 || height <= 0) {
        width = MulDiv(header.rclFrame.right - header.rclFrame.left, 96, 2540);
        height = MulDiv(header.rclFrame.bottom - header.rclFrame.top, 96, 2540);
    }
    printf("emf: frame %ld %ld %ld %ld (0.01 mm), %lu bytes\n", (long)header.rclFrame.left,
           (long)header.rclFrame.top, (long)header.rclFrame.right, (long)header.rclFrame.bottom,
           (unsigned long)header.nBytes);
    swprintf(path, MAX_PATH, L"%ls.bmp", out);
    ok = width > 0 && height > 0 && width <= 8192 && height <= 8192 &&
         write_rendering(emf, width, height, path);
    swprintf(path, MAX_PATH, L"%ls.wmf", out);
    ok = write_metafile_picture(path) && ok;
    CloseClipboard();
    swprintf(path, MAX_PATH, L"%ls.emf", out);
    ok = write_clipboard_emf(window, path) && ok;
    fflush(stdout);
    return ok ? 0 : 4;
}

int wmain(int argc, wchar_t **argv)
{
    int seconds = 30, width = 0, height = 0, waited;
    HWND window;
    if (argc > 2 && !wcscmp(argv[1], L"--wait")) {
        seconds = _wtoi(argv[2]);
        argc -= 2;
        argv += 2;
    }
    if (argc != 2 && argc != 4) {
        fprintf(stderr, "usage: winpaste [--wait SECONDS] OUT [W H]\n");
        return 1;
    }
    if (argc == 4) {
        width = _wtoi(argv[2]);
        height = _wtoi(argv[3]);
    }
    window = peer_window(L"winpaste", DefWindowProcW);
    if (!window) return 3;
    /* Wine learns of a new owner of the X clipboard on its own time: ask until it has it. */
    for (waited = 0; !IsClipboardFormatAvailable(CF_ENHMETAFILE); waited += 100) {
        if (waited >= seconds * 1000) {
            fprintf(stderr, "winpaste: no metafile on the clipboard\n");
            return 3;
        }
        Sleep(100);
    }
    return paste(window, argv[1], width, height);
}
