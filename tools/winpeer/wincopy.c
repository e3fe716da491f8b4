/* wincopy: a Windows program that copies a metafile, as drawing programs under Wine do.
 *
 *   wincopy IN.emf [PUT.emf]        puts the EMF on the clipboard as CF_ENHMETAFILE
 *   wincopy --wmf IN.wmf [PUT.emf]  puts the WMF (placeable or raw) as CF_METAFILEPICT only,
 *                                   as older programs do
 *
 * PUT receives the bytes of the EMF the clipboard then holds (for --wmf, the one Windows
 * derives from the WMF). Once the picture is on the clipboard the program writes "ready" to
 * standard output and keeps the clipboard until a line or the end of its standard input, then
 * empties it if it still holds it, so that the next paste finds nothing stale; "lost" is
 * written if another program takes the clipboard first. Exit codes: 0 done,
 * 1 usage, 2 unreadable input, 3 clipboard unavailable, 4 cannot write PUT. */
#include "winpeer.h"

static HWND g_window;

static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROYCLIPBOARD) {
        printf("lost\n");
        fflush(stdout);
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

/* Ends the message loop once standard input gives a line or ends. */
static DWORD WINAPI wait_for_stop(LPVOID main_thread)
{
    char line[256];
    (void)fgets(line, sizeof line, stdin);
    PostThreadMessageW((DWORD)(ULONG_PTR)main_thread, WM_QUIT, 0, 0);
    return 0;
}

/* A CF_METAFILEPICT handle for the WMF: the placeable header's box and units per inch give
 * the size in 0.01 mm; a raw WMF has no size of its own (0, 0: "any size"). */
static HGLOBAL metafile_picture(const BYTE *bytes, size_t size)
{
    LONG x_ext = 0, y_ext = 0;
    HGLOBAL global;
    METAFILEPICT *picture;
    HMETAFILE wmf;
    if (size >= 22 && read32(bytes) == 0x9AC6CDD7u) {
        const short left = (short)read16(bytes + 6), top = (short)read16(bytes + 8);
        const short right = (short)read16(bytes + 10), bottom = (short)read16(bytes + 12);
        const int inch = read16(bytes + 14);
        if (inch > 0) {
            x_ext = MulDiv(abs(right - left), 2540, inch);
            y_ext = MulDiv(abs(bottom - top), 2540, inch);
        }
        bytes += 22;
        size -= 22;
    }
    wmf = SetMetaFileBitsEx((UINT)size, bytes);
    if (!wmf) return NULL;
    global = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    if (!global) return NULL;
    picture = GlobalLock(global);
    picture->mm = MM_ANISOTROPIC;
    picture->xExt = x_ext;
    picture->yExt = y_ext;
    picture->hMF = wmf;
    GlobalUnlock(global);
    return global;
}

static int put(int as_wmf, const BYTE *bytes, size_t size)
{
    HANDLE data;
    if (!open_clipboard(g_window)) return 0;
    EmptyClipboard();
    data = as_wmf ? (HANDLE)metafile_picture(bytes, size)
                  : (HANDLE)SetEnhMetaFileBits((UINT)size, bytes);
    if (!data || !SetClipboardData(as_wmf ? CF_METAFILEPICT : CF_ENHMETAFILE, data)) {
        fprintf(stderr, "wincopy: the picture cannot be put on the clipboard (%lu)\n",
                GetLastError());
        CloseClipboard();
        return 0;
    }
    CloseClipboard();
    return 1;
}

int wmain(int argc, wchar_t **argv)
{
    int as_wmf = 0;
    BYTE *bytes;
    size_t size;
    MSG message;
    HANDLE stopper;
    if (argc > 1 && !wcscmp(argv[1], L"--wmf")) {
        as_wmf = 1;
        --argc;
        ++argv;
    }
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: wincopy [--wmf] IN [PUT.emf]\n");
        return 1;
    }
    bytes = read_file(argv[1], &size);
    if (!bytes) {
        fprintf(stderr, "wincopy: cannot read %ls\n", argv[1]);
        return 2;
    }
    g_window = peer_window(L"wincopy", window_proc);
    if (!g_window || !put(as_wmf, bytes, size)) return 3;
    free(bytes);
    if (argc == 3 && !write_clipboard_emf(g_window, argv[2])) return 4;
    printf("ready\n");
    fflush(stdout);
    stopper = CreateThread(NULL, 0, wait_for_stop, (LPVOID)(ULONG_PTR)GetCurrentThreadId(), 0,
                           NULL);
    if (!stopper) return 3;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (GetClipboardOwner() == g_window && open_clipboard(g_window)) {
        EmptyClipboard();
        CloseClipboard();
    }
    return 0;
}
