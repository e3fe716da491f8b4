<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>Plumeconv</name>
    <message>
        <source>%1: another input of this run has the same name</source>
        <translation>%1: 同じ名前の入力がこの実行に既にあります</translation>
    </message>
    <message>
        <source>%1 exists already (--force replaces it)</source>
        <translation>%1 は既にあります (--force で置き換えます)</translation>
    </message>
    <message>
        <source>the output folder %1 does not exist</source>
        <translation>出力フォルダー %1 がありません</translation>
    </message>
    <message>
        <source>%1 of %2 files converted, %3 failed</source>
        <translation>%2 個のファイルのうち %1 個を変換しました。失敗 %3 個</translation>
    </message>
    <message>
        <source>, %1 cut short</source>
        <translation>、打ち切り %1 個</translation>
    </message>
    <message>
        <source>standard input</source>
        <translation>標準入力</translation>
    </message>
    <message>
        <source>the PDF could not be made</source>
        <translation>PDF を作れません</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>%1 を開けません: %2</translation>
    </message>
    <message>
        <source>%1 is a folder, not a file</source>
        <translation>%1 はファイルではなくフォルダーです</translation>
    </message>
    <message>
        <source>%1 is larger than %2 MB, the limit</source>
        <translation>%1 は上限の %2 MB より大きいファイルです</translation>
    </message>
    <message>
        <source>nothing came from %1 for %2 seconds</source>
        <translation>%1 から %2 秒間何も来ませんでした</translation>
    </message>
    <message>
        <source>standard input is closed</source>
        <translation>標準入力が閉じています</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1 を読み込めません: %2</translation>
    </message>
    <message>
        <source>%1 is cut short: drawing it took longer than %2 seconds, and what was drawn is written</source>
        <translation>%1 の描画を打ち切りました: 描くのに %2 秒を超えたため、描けたところまでを書きました</translation>
    </message>
    <message>
        <source>%1 is empty</source>
        <translation>%1 は空のファイルです</translation>
    </message>
    <message>
        <source>%1 is a raster image, not an EMF or WMF file</source>
        <translation>%1 はラスター画像で、EMF や WMF のファイルではありません</translation>
    </message>
    <message>
        <source>%1 is no EMF or WMF file</source>
        <translation>%1 は EMF や WMF のファイルではありません</translation>
    </message>
    <message>
        <source>%1 is damaged and cannot be converted (%2)</source>
        <translation>%1 は破損しているため変換できません (%2)</translation>
    </message>
    <message>
        <source>unreadable header</source>
        <translation>ヘッダーを読み取れません</translation>
    </message>
    <message>
        <source>the file is shorter than its header says: cut short</source>
        <translation>ファイルがヘッダーの示す長さより短く、途中で切れています</translation>
    </message>
    <message>
        <source>%1 is drawn only in part: %2</source>
        <translation>%1 は一部だけ描きました: %2</translation>
    </message>
    <message>
        <source>%1 needs a whole number of pixels above 0: %2</source>
        <translation>%1 には 0 より大きいピクセル数 (整数) が必要です: %2</translation>
    </message>
    <message>
        <source>the frame is empty, so there are no proportions to keep</source>
        <translation>枠が空のため、保つ縦横比がありません</translation>
    </message>
    <message>
        <source>the frame is empty (%1 x %2 pixels); give --width and --height</source>
        <translation>枠が空です (%1 x %2 ピクセル)。--width と --height を指定してください</translation>
    </message>
    <message>
        <source>the size %1 x %2 is too large (at most %3 pixels a side, %4 million in all)</source>
        <translation>大きさ %1 x %2 は大きすぎます (一辺 %3 ピクセル、全体 %4 百万ピクセルまで)</translation>
    </message>
    <message>
        <source>the SVG could not be made</source>
        <translation>SVG を作れません</translation>
    </message>
    <message>
        <source>the drawing could not be converted to EMF</source>
        <translation>図を EMF に変換できません</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>at %1 dots per inch the drawing is %2 x %3 pixels, less than one pixel a side; give a larger --dpi or --scale, or --width and --height</source>
        <translation>%1 ドット毎インチでは図は %2 x %3 ピクセルで、一辺が 1 ピクセルに足りません。--dpi か --scale を大きくするか、--width と --height を指定してください</translation>
    </message>
    <message>
        <source>standard output is closed</source>
        <translation>標準出力が閉じています</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>標準出力</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 に書き込めません: %2</translation>
    </message>
    <message>
        <source>Usage:
  plumeconv [options] IN OUT
  plumeconv [options] --out-dir DIR [--format png|svg|pdf|emf] IN...
  plumeconv --thumbnail SIZE IN OUT

Renders an EMF or WMF file to PNG, SVG or PDF, or converts it to EMF. The format
comes from --format, else from OUT&apos;s ending. &quot;-&quot; as IN reads standard input, as
OUT writes standard output (then --format is needed).

Options:
  --format FMT       png, svg, pdf or emf
  --width W          width in pixels (the height keeps the proportions)
  --height H         height in pixels (the width keeps the proportions)
  --dpi D            own size at D dots per inch (default 96)
  --scale S          own size times S
  --background C     ground colour (#rrggbb or a name), or none for transparent;
                     default white for PNG, none for SVG and PDF
  --no-emfplus       draw an EMF from its GDI records only
  --time-limit S     stop drawing a file after S seconds (default 10) and write
                     what was drawn, with a warning (exit status 8)
  --out-dir DIR      batch: write each IN to DIR as its name with the format&apos;s ending
  --force            batch: replace files that exist already
  -j N, --jobs N     batch: N files at a time (default: the number of cores)
  --thumbnail SIZE   a PNG thumbnail at most SIZE pixels a side, for file managers
  -h, --help         this text
  --version          the version

A file cut short, or whose header cannot be read, is damaged: it fails and no
output is written. A file whose records end early at a damaged record is drawn as
far as it goes, written, and a warning says so. A pipe or device named as IN
that gives nothing for 10 seconds fails; standard input is read to its end.

Exit status:
  0  success (warnings may have been printed)
  1  batch: at least one file failed
  2  wrong arguments
  3  the input cannot be read or is no EMF or WMF file
  4  the size is refused (empty frame, or beyond the raster limits), or the
     memory ran out
  5  the output cannot be written, or exists already (batch, without --force)
  6  the input is damaged
  7  the thumbnail took too long
  8  the time limit cut a drawing short (what was drawn is written)
</source>
        <translation>使い方:
  plumeconv [オプション] 入力 出力
  plumeconv [オプション] --out-dir フォルダー [--format png|svg|pdf|emf] 入力...
  plumeconv --thumbnail 大きさ 入力 出力

EMF や WMF のファイルを PNG、SVG、PDF に描き、または EMF に変換します。形式は
--format で、なければ出力の拡張子で決まります。入力の &quot;-&quot; は標準入力を読み、出力の
&quot;-&quot; は標準出力に書きます (このときは --format が必要です)。

オプション:
  --format 形式      png、svg、pdf、emf
  --width W          幅 (ピクセル、高さは縦横比を保ちます)
  --height H         高さ (ピクセル、幅は縦横比を保ちます)
  --dpi D            D ドット毎インチでの元の大きさ (既定 96)
  --scale S          元の大きさの S 倍
  --background C     背景色 (#rrggbb か色の名前)、透明にするには none。
                     既定は PNG で白、SVG と PDF でなし
  --no-emfplus       EMF を GDI のレコードだけで描きます
  --time-limit S     1 つのファイルを描くのを S 秒で打ち切り (既定 10)、描けた
                     ところまでを警告付きで書きます (終了コード 8)
  --out-dir DIR      一括: 各入力を DIR に、その名前と形式の拡張子で書きます
  --force            一括: 既にあるファイルを置き換えます
  -j N, --jobs N     一括: N 個ずつ同時に変換します (既定: コア数)
  --thumbnail SIZE   ファイルマネージャー用の一辺 SIZE ピクセルまでの PNG サムネイル
  -h, --help         この説明
  --version          版

途中で切れたファイルや、ヘッダーを読み取れないファイルは破損しています: 失敗し、
出力は書きません。レコードが途中の壊れたレコードで終わるファイルは、そこまで描いて
書き、警告を出します。入力に名前で指定したパイプやデバイスから 10 秒間何も来なければ
失敗します。標準入力は終わりまで読みます。

終了コード:
  0  成功 (警告が出ていることがあります)
  1  一括: 失敗したファイルがあります
  2  引数の誤り
  3  入力を読み込めないか、EMF や WMF のファイルではありません
  4  大きさが使えません (枠が空か、ラスターの上限を超えます)、またはメモリが
     足りません
  5  出力を書き込めないか、既にあります (一括で --force がないとき)
  6  入力が破損しています
  7  サムネイルの作成に時間がかかりすぎました
  8  時間の上限で描画を打ち切りました (描けたところまでを書きました)
</translation>
    </message>
    <message>
        <source>not enough memory</source>
        <translation>メモリが足りません</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>警告: %1</translation>
    </message>
    <message>
        <source>%1 needs a whole number: %2</source>
        <translation>%1 には整数を指定してください: %2</translation>
    </message>
    <message>
        <source>%1 needs a number above 0: %2</source>
        <translation>%1 には 0 より大きい数を指定してください: %2</translation>
    </message>
    <message>
        <source>--time-limit needs a number of seconds above 0, at most %1: %2</source>
        <translation>--time-limit には 0 より大きく %1 以下の秒数が必要です: %2</translation>
    </message>
    <message>
        <source>--background needs a colour such as #ffffff or white, or none: %1</source>
        <translation>--background には #ffffff や white のような色か none を指定してください: %1</translation>
    </message>
    <message>
        <source>unknown format (use png, svg, pdf or emf): %1</source>
        <translation>知らない形式です (png、svg、pdf、emf のどれかを指定してください): %1</translation>
    </message>
    <message>
        <source>%1 needs a number of jobs from 1 to 256: %2</source>
        <translation>%1 には 1 から 256 までのジョブ数を指定してください: %2</translation>
    </message>
    <message>
        <source>--thumbnail needs a size from 1 to 4096: %1</source>
        <translation>--thumbnail には 1 から 4096 までの大きさを指定してください: %1</translation>
    </message>
    <message>
        <source>unknown option %1 (see plumeconv --help)</source>
        <translation>知らないオプションです: %1 (plumeconv --help を見てください)</translation>
    </message>
    <message>
        <source>--dpi and --scale do not go with --width or --height</source>
        <translation>--dpi と --scale は --width や --height と一緒に使えません</translation>
    </message>
    <message>
        <source>--out-dir needs at least one input file</source>
        <translation>--out-dir には入力ファイルが一つ以上必要です</translation>
    </message>
    <message>
        <source>standard input (-) can be read only once</source>
        <translation>標準入力 (-) は一度しか読めません</translation>
    </message>
    <message>
        <source>give one input and one output (see plumeconv --help)</source>
        <translation>入力と出力を一つずつ指定してください (plumeconv --help を見てください)</translation>
    </message>
    <message>
        <source>--thumbnail takes no format, size, background or time options</source>
        <translation>--thumbnail には形式、大きさ、背景、時間のオプションは使えません</translation>
    </message>
    <message>
        <source>writing to standard output (-) needs --format</source>
        <translation>標準出力 (-) に書くには --format が必要です</translation>
    </message>
    <message>
        <source>unknown output ending (use .png, .svg, .pdf or .emf, or --format): %1</source>
        <translation>知らない出力の拡張子です (.png、.svg、.pdf、.emf か --format を使ってください): %1</translation>
    </message>
    <message>
        <source>size and background options do not apply to EMF output</source>
        <translation>大きさと背景のオプションは EMF の出力には使えません</translation>
    </message>
    <message>
        <source>--no-emfplus applies to PNG, SVG and PDF output</source>
        <translation>--no-emfplus は PNG、SVG と PDF の出力に使えます</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 には値が必要です</translation>
    </message>
    <message>
        <source>--thumbnail and --out-dir do not go together</source>
        <translation>--thumbnail と --out-dir は一緒に使えません</translation>
    </message>
    <message>
        <source>the frame is empty</source>
        <translation>枠が空です</translation>
    </message>
    <message>
        <source>the thumbnail took longer than %1 seconds</source>
        <translation>サムネイルの作成が %1 秒を超えました</translation>
    </message>
    <message>
        <source>no space left on device</source>
        <translation>ディスクの空きがありません</translation>
    </message>
    <message>
        <source>disk quota exceeded</source>
        <translation>ディスクの使用量の上限を超えました</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>書き込む権限がありません</translation>
    </message>
    <message>
        <source>read-only file system</source>
        <translation>読み取り専用のファイルシステムです</translation>
    </message>
    <message>
        <source>input/output error</source>
        <translation>ディスクの読み書きに失敗しました</translation>
    </message>
    <message>
        <source>no such folder</source>
        <translation>フォルダーがありません</translation>
    </message>
    <message>
        <source>file name too long</source>
        <translation>ファイル名が長すぎます</translation>
    </message>
    <message>
        <source>file too large</source>
        <translation>ファイルが大きすぎます</translation>
    </message>
</context>
</TS>
