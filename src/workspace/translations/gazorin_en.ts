<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ErrorBox</name>
    <message>
        <source>拡張子 .%1 の画像形式は処理できません</source>
        <translation>Cannot open pictures of type .%1</translation>
    </message>
    <message>
        <source>%1:Susie Pluginがロードできませんでした</source>
        <translation>%1: the Susie plug-in could not be loaded</translation>
    </message>
    <message>
        <source>%1は[%2]では使えないSusie Plugin APIです</source>
        <translation>%1 is a Susie plug-in function that [%2] does not provide</translation>
    </message>
    <message>
        <source>TSPIs は複数生成できません</source>
        <translation>Only one plug-in host can be created</translation>
    </message>
</context>
<context>
    <name>ExportCommands</name>
    <message>
        <source>ファイル %1 を作成できません</source>
        <translation>Cannot create file %1</translation>
    </message>
    <message>
        <source>保存する画像がありません</source>
        <translation>There is no picture to save</translation>
    </message>
    <message>
        <source>JPEG形式で保存</source>
        <translation>Save as JPEG</translation>
    </message>
    <message>
        <source>JPG イメージファイル(*.JPG)</source>
        <translation>JPEG images (*.JPG)</translation>
    </message>
    <message>
        <source>PNG形式で保存</source>
        <translation>Save as PNG</translation>
    </message>
    <message>
        <source>PNG イメージファイル(*.PNG)</source>
        <translation>PNG images (*.PNG)</translation>
    </message>
</context>
<context>
    <name>JoinDirection</name>
    <message>
        <source>新規(&amp;N)</source>
        <translation>&amp;New window</translation>
    </message>
    <message>
        <source>新規ウィンドウを作成</source>
        <translation>Open in a new window</translation>
    </message>
    <message>
        <source>上(&amp;U)</source>
        <translation>&amp;Above</translation>
    </message>
    <message>
        <source>上に連結</source>
        <translation>Join above</translation>
    </message>
    <message>
        <source>下(&amp;B)</source>
        <translation>&amp;Below</translation>
    </message>
    <message>
        <source>下に連結</source>
        <translation>Join below</translation>
    </message>
    <message>
        <source>左(&amp;L)</source>
        <translation>&amp;Left</translation>
    </message>
    <message>
        <source>左に連結</source>
        <translation>Join on the left</translation>
    </message>
    <message>
        <source>右(&amp;R)</source>
        <translation>&amp;Right</translation>
    </message>
    <message>
        <source>右に連結</source>
        <translation>Join on the right</translation>
    </message>
</context>
<context>
    <name>JoinPosition</name>
    <message>
        <source>左(&amp;L)</source>
        <translation>&amp;Left or top</translation>
    </message>
    <message>
        <source>左(上)に寄せて配置</source>
        <translation>Align to the left or top</translation>
    </message>
    <message>
        <source>中(&amp;C)</source>
        <translation>&amp;Center</translation>
    </message>
    <message>
        <source>中央に寄せて配置</source>
        <translation>Align to the center</translation>
    </message>
    <message>
        <source>右(&amp;R)</source>
        <translation>&amp;Right or bottom</translation>
    </message>
    <message>
        <source>右(下)に寄せて配置</source>
        <translation>Align to the right or bottom</translation>
    </message>
    <message>
        <source>Custom(&amp;C)</source>
        <translation>C&amp;ustom</translation>
    </message>
    <message>
        <source>custom</source>
        <translation>Custom</translation>
    </message>
</context>
<context>
    <name>PictureFormats</name>
    <message>
        <source>すべてのファイル</source>
        <translation>All pictures</translation>
    </message>
    <message>
        <source>メタファイル</source>
        <translation>Metafile</translation>
    </message>
    <message>
        <source>エンハンス メタファイル</source>
        <translation>Enhanced metafile</translation>
    </message>
    <message>
        <source>アイコン</source>
        <translation>Icon</translation>
    </message>
    <message>
        <source>ビットマップ</source>
        <translation>Bitmap</translation>
    </message>
    <message>
        <source>JPEG イメージファイル</source>
        <translation>JPEG image</translation>
    </message>
</context>
<context>
    <name>gz::ui::TControlHook</name>
    <message>
        <source>フック先を特定できません。</source>
        <translation>Cannot find the window to attach to.</translation>
    </message>
</context>
<context>
    <name>gz::ui::TExportPanel</name>
    <message>
        <source>圧縮率</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>プログレシブ／インターレス</source>
        <translation>Progressive / interlaced</translation>
    </message>
    <message>
        <source>グレースケール</source>
        <translation>Grayscale</translation>
    </message>
</context>
<context>
    <name>gz::ui::TForm1</name>
    <message>
        <source>開く(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>ファイルから画像を読み込む</source>
        <translation>Open a picture from a file</translation>
    </message>
    <message>
        <source>JPEGイメージで保存(&amp;J)</source>
        <translation>Save as &amp;JPEG...</translation>
    </message>
    <message>
        <source>JPEGイメージで保存する</source>
        <translation>Save as a JPEG image</translation>
    </message>
    <message>
        <source>PNGイメージで保存(&amp;P)</source>
        <translation>Save as &amp;PNG...</translation>
    </message>
    <message>
        <source>PNGイメージで保存する</source>
        <translation>Save as a PNG image</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>ひとつ前の状態に戻る</source>
        <translation>Undo the last join</translation>
    </message>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>画像をクリップボードにコピー</source>
        <translation>Copy the picture to the clipboard</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>クリップボードから貼り付け</source>
        <translation>Paste a picture from the clipboard</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)...</source>
        <translation>&amp;About Gazorin...</translation>
    </message>
    <message>
        <source>左右反転(&amp;H)</source>
        <translation>Flip &amp;horizontally</translation>
    </message>
    <message>
        <source>左右反転</source>
        <translation>Flip horizontally</translation>
    </message>
    <message>
        <source>上下反転(&amp;V)</source>
        <translation>Flip &amp;vertically</translation>
    </message>
    <message>
        <source>上下反転</source>
        <translation>Flip vertically</translation>
    </message>
    <message>
        <source>挿入(&amp;I)</source>
        <translation>&amp;Grow canvas</translation>
    </message>
    <message>
        <source>サイズ変更する</source>
        <translation>Grow the canvas to fit</translation>
    </message>
    <message>
        <source>画像の向きを自動補正</source>
        <translation>Auto-&amp;rotate photos</translation>
    </message>
    <message>
        <source>透過部分を重ねる</source>
        <translation>Keep &amp;transparency</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>モード(&amp;M)</source>
        <translation>&amp;Mode</translation>
    </message>
    <message>
        <source>連結方向(&amp;A)</source>
        <translation>Join &amp;direction</translation>
    </message>
    <message>
        <source>連結位置(&amp;P)</source>
        <translation>Join &amp;position</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About Gazorin</translation>
    </message>
    <message>
        <source>Gazorin&#x3000;Ver. %1</source>
        <translation>Gazorin version %1</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>編集</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>連結方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>ダブルクリックで空白を連結</source>
        <translation>Double-click to join a blank picture</translation>
    </message>
    <message>
        <source>位置・反転</source>
        <translation>Position/Flip</translation>
    </message>
    <message>
        <source>画面</source>
        <translation>View</translation>
    </message>
    <message>
        <source>表示倍率</source>
        <translation>Zoom (%)</translation>
    </message>
</context>
<context>
    <name>gz::ui::TForm2</name>
    <message>
        <source>幅 %1 , 高さ %2</source>
        <translation>%1 × %2 pixels</translation>
    </message>
</context>
<context>
    <name>gz::ui::TForm3</name>
    <message>
        <source>サイズ&#x3000;( %1, %2 )</source>
        <translation>Size: %1 × %2</translation>
    </message>
    <message>
        <source>連結&#x3000;配置ウィザード</source>
        <translation>Placement Wizard</translation>
    </message>
    <message>
        <source>サイズ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>配置する画像の座標（左上）</source>
        <translation>Position (top left)</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Place</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>gz::ui::TOpenPictureDialog</name>
    <message>
        <source>開く</source>
        <translation>Open Picture</translation>
    </message>
</context>
</TS>
