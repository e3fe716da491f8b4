/* What wincopy and winpaste share: whole files, little-endian numbers, a window to own the
 * clipboard with. Plain C for mingw-w64, nothing beyond the Windows system libraries. */
#pragma once

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static inline unsigned read16(const BYTE *p) { return (unsigned)p[0] | (unsigned)p[1] << 8; }
static inline DWORD read32(const BYTE *p) { return (DWORD)read16(p) | (DWORD)read16(p + 2) << 16; }

/* The whole file, or NULL; at most 256 MB. */
static inline BYTE *read_file(const wchar_t *path, size_t *size)
{
    FILE *file = _wfopen(path, L"rb");
    BYTE *bytes = NULL;
    long length;
    if (!file) return NULL;
    if (fseek(file, 0, SEEK_END) == 0 && (length = ftell(file)) > 0 && length <= (256L << 20) &&
        fseek(file, 0, SEEK_SET) == 0 && (bytes = malloc((size_t)length)) != NULL &&
        fread(bytes, 1, (size_t)length, file) != (size_t)length) {
        free(bytes);
        bytes = NULL;
    }
    fclose(file);
    if (bytes) *size = (size_t)length;
    return bytes;
}

static inline int write_file(const wchar_t *path, const void *bytes, size_t size)
{
    FILE *file = _wfopen(path, L"wb");
    int ok;
    if (!file) return 0;
    ok = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

/* An invisible top-level window; the clipboard is owned through a window. */
static inline HWND peer_window(const wchar_t *name, WNDPROC procedure)
{
    WNDCLASSW window_class;
    memset(&window_class, 0, sizeof window_class);
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(NULL);
    window_class.lpszClassName = name;
    if (!RegisterClassW(&window_class)) return NULL;
    return CreateWindowW(name, name, 0, 0, 0, 10, 10, NULL, NULL, window_class.hInstance, NULL);
}

/* Another program may hold the clipboard open for a moment: tries for about two seconds. */
static inline int open_clipboard(HWND window)
{
    int attempt;
    for (attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(window)) return 1;
        Sleep(20);
    }
    fprintf(stderr, "winpeer: the clipboard cannot be opened (%lu)\n", GetLastError());
    return 0;
}

/* Writes the bytes of the clipboard's CF_ENHMETAFILE to `path`. */
static inline int write_clipboard_emf(HWND window, const wchar_t *path)
{
    HENHMETAFILE emf;
    UINT size;
    BYTE *bytes;
    int ok = 0;
    if (!open_clipboard(window)) return 0;
    emf = GetClipboardData(CF_ENHMETAFILE);
    size = emf ? GetEnhMetaFileBits(emf, 0, NULL) : 0;
    if (size && (bytes = malloc(size)) != NULL) {
        ok = GetEnhMetaFileBits(emf, size, bytes) == size && write_file(path, bytes, size);
        free(bytes);
    }
    CloseClipboard();
    if (!ok) fprintf(stderr, "winpeer: cannot write the clipboard's EMF to %ls\n", path);
    return ok;
}
