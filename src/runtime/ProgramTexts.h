// The program's fixed texts, in one table. Each is stored as the program
// shows it, in code page 932, with its readable UTF-8 form beside it; code
// uses the stored form, tests compare the readable one.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qmk::texts {

struct ProgramText {
    std::string_view Cp932;
    std::string_view Utf8;
};

// The program's name, as the application object's title.
inline constexpr ProgramText ApplicationTitle{"QMK1.0", "QMK1.0"};

// The main window.
inline constexpr ProgramText MainWindowCaption{
    "Plimbo\x82\xcc\x83\x78\x83\x93\x83\x60\x83\x7d\x81\x5b\x83\x4e for 32bit Windows R1.0",
    "Plimboのベンチマーク for 32bit Windows R1.0"};
inline constexpr ProgramText StartButton{"\x83\x58\x83\x5e\x81\x5b\x83\x67", "スタート"};
inline constexpr ProgramText Instruction{
    "\x83\x7b\x83\x5e\x83\x93\x82\xf0\x89\x9f\x82\xb7\x82\xc6\x83\x78\x83\x93\x83\x60\x83\x7d\x81\x5b\x83\x4e\x82\xf0\x8a\x4a\x8e\x6e\x82\xb5\x82\xdc\x82\xb7\x81\x42",
    "ボタンを押すとベンチマークを開始します。"};
inline constexpr ProgramText YourSystem{
    "\x82\xa0\x82\xc8\x82\xbd\x82\xcc\x83\x56\x83\x58\x83\x65\x83\x80",
    "あなたのシステム"};
inline constexpr ProgramText CpuReference{"\x82\x62\x82\x6f\x82\x74\x81\x46" "1992", "ＣＰＵ：1992"};
inline constexpr ProgramText VideoReference{"\x83\x72\x83\x66\x83\x49\x81\x46" "2370", "ビデオ：2370"};
inline constexpr ProgramText NoteFirst{
    "\x8c\x8b\x89\xca\x82\xcc\x90\x94\x92\x6c\x82\xcd\x83\x70\x83\x74\x83\x48\x81\x5b\x83\x7d\x83\x93\x83\x58",
    "結果の数値はパフォーマンス"};
inline constexpr ProgramText NoteSecond{
    "\x82\xcc\x8d\x82\x82\xb3\x82\xc9\x94\xe4\x97\xe1\x82\xb5\x82\xdc\x82\xb7\x81\x42",
    "の高さに比例します。"};

// The labels of the two result lines.
inline constexpr ProgramText CpuLabel{"\x82\x62\x82\x6f\x82\x74\x81\x46", "ＣＰＵ："};
inline constexpr ProgramText VideoLabel{"\x83\x72\x83\x66\x83\x49\x81\x46", "ビデオ："};

// Font faces.
inline constexpr ProgramText ProportionalGothic{
    "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e",
    "ＭＳ Ｐゴシック"};
inline constexpr ProgramText FixedGothic{
    "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e",
    "ＭＳ ゴシック"};

// Messages of errors; FormatText puts what %s stands for in.
inline constexpr ProgramText InvalidTime{
    "\x8e\x9e\x8d\x8f\x82\xc9\x95\xcf\x8a\xb7\x82\xc5\x82\xab\x82\xc8\x82\xa2\x92\x6c\x82\xaa\x93\x6e\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd",
    "時刻に変換できない値が渡されました"};
inline constexpr ProgramText OutOfMemory{
    "\xd2\xd3\xd8\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    "ﾒﾓﾘが足りません"};
inline constexpr ProgramText OutOfResources{
    "\xbc\xbd\xc3\xd1 \xd8\xbf\xb0\xbd\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    "ｼｽﾃﾑ ﾘｿｰｽが足りません"};
inline constexpr ProgramText NoDeviceContext{
    "\xc3\xde\xca\xde\xb2\xbd \xba\xdd\xc3\xb7\xbd\xc4\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd",
    "ﾃﾞﾊﾞｲｽ ｺﾝﾃｷｽﾄの作成に失敗しました"};
inline constexpr ProgramText NoCanvasHandle{
    "Canvas \x82\xc9\x91\xce\x82\xb7\x82\xe9\x95\x60\x89\xe6\x82\xaa\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1",
    "Canvas に対する描画ができません"};
inline constexpr ProgramText ParentRequired{
    "\xba\xdd\xc4\xdb\xb0\xd9 '%s' \x82\xcd\x90\x65\xb3\xa8\xdd\xc4\xde\xb3\x82\xf0\x8e\x9d\x82\xc1\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1",
    "ｺﾝﾄﾛｰﾙ '%s' は親ｳｨﾝﾄﾞｳを持っていません"};
inline constexpr ProgramText WindowCreationFailed{
    "\xb3\xa8\xdd\xc4\xde\xb3\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd",
    "ｳｨﾝﾄﾞｳの作成に失敗しました"};
inline constexpr ProgramText WindowClassFailed{
    "\xb3\xa8\xdd\xc4\xde\xb3\xb8\xd7\xbd\x82\xcc\x8d\xec\x90\xac\x82\xc5\xb4\xd7\xb0\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd",
    "ｳｨﾝﾄﾞｳｸﾗｽの作成でｴﾗｰが発生しました"};
inline constexpr ProgramText ClassMissing{
    "\xb8\xd7\xbd %s \x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    "ｸﾗｽ %s が見つかりません"};
inline constexpr ProgramText HandlerMissing{
    "\xb2\xcd\xde\xdd\xc4 \xca\xdd\xc4\xde\xd7 %s \x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    "ｲﾍﾞﾝﾄ ﾊﾝﾄﾞﾗ %s が見つかりません"};
inline constexpr ProgramText NoDisplayGiven{
    "\xc3\xde\xa8\xbd\xcc\xdf\xda\xb2\x82\xaa\x8e\x77\x92\xe8\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1 (%s)",
    "ﾃﾞｨｽﾌﾟﾚｲが指定されていません (%s)"};
inline constexpr ProgramText NoDisplayConnection{
    "\xc3\xde\xa8\xbd\xcc\xdf\xda\xb2 \"%s\" \x82\xc9\x90\xda\x91\xb1\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1",
    "ﾃﾞｨｽﾌﾟﾚｲ \"%s\" に接続できません"};

// A failed start: the box's caption, and the printf format of its text
// (error class, program, code address, message, full stop).
inline constexpr ProgramText StartupErrorCaption{
    "\xb1\xcc\xdf\xd8\xb9\xb0\xbc\xae\xdd \xb4\xd7\xb0",
    "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ"};
inline constexpr ProgramText StartupError{
    "%s\x82\xaa\xd3\xbc\xde\xad\xb0\xd9 %s \x82\xcc\n%p \x82\xc5\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n%s%s\n",
    "%sがﾓｼﾞｭｰﾙ %s の\n%p で発生しました。\n%s%s\n"};

// Every entry above, for the tests.
inline constexpr const ProgramText* AllProgramTexts[] = {
    &ApplicationTitle, &MainWindowCaption, &StartButton, &Instruction, &YourSystem, &CpuReference,
    &VideoReference, &NoteFirst, &NoteSecond, &CpuLabel, &VideoLabel, &ProportionalGothic,
    &FixedGothic, &InvalidTime, &OutOfMemory, &OutOfResources, &NoDeviceContext, &NoCanvasHandle,
    &ParentRequired, &WindowCreationFailed, &WindowClassFailed, &ClassMissing, &HandlerMissing,
    &NoDisplayGiven, &NoDisplayConnection, &StartupErrorCaption, &StartupError,
};

// The text with each "%s" replaced by the next argument, in order; what
// an argument brings is not looked at again. A "%s" without an argument
// stays.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> arguments);

}  // namespace qmk::texts
