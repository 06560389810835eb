// The texts of the updater's message boxes in code page 932, as the tests
// expect to read them off the screen.
#ifndef TESTS_SUPPORT_MESSAGES_H
#define TESTS_SUPPORT_MESSAGES_H

#include <string>
#include "support/sjis.h"

inline const std::string CAPTION = Sjis(u8"Tolvane アップデーター");
inline const std::string DONE = Sjis(u8"アップデートは正常に終了しました。");
// What follows the outcome when some files wait for the restart.
inline const std::string RESTART_NOTICE = Sjis(
    u8"\n\n使用中のファイルは、Windowsの再起動時に置き換えられます。\n再起動するまでTolvaneを起動しないで下さい。");
inline const std::string DONE_AT_RESTART = DONE + RESTART_NOTICE;
inline const std::string RESTART_FIRST = Sjis(
    u8"Windowsの再起動時に行われる処理が残っています。\nWindowsを再起動してから、もう一度アップデーターを実行して下さい。");
inline const std::string ALREADY_RUNNING =
    Sjis(u8"アップデーターはすでに起動しています。\n起動中のアップデーターをご利用下さい。");
inline const std::string NOT_INSTALLED = Sjis(
    u8"アップデート可能なバージョンがインストールされていません。\n対象バージョンがインストールされていることをご確認下さい。\n\nまた、Tolvaneがパソコンにプリインストールされて\nいた場合、最低一度は、Tolvaneを起動してから\nアップデートをして下さい。");
inline const std::string IO_ERROR = Sjis(
    u8"予期せぬI/Oエラーが発生しました。\nハードディスク容量や起動しているソフトがないことをご確認下さい。");
inline const std::string RESTART = Sjis(
    u8"ソフトを使用するためには、システムを再起動する必要があります。\n今すぐ再起動しても宜しいですか？");
inline const std::string DAMAGED = Sjis(
    u8"アップデート用のファイルが壊れているか、不足しています。\nお手数ですが、アップデーターをもう一度入手してから実行して下さい。");

inline const std::string NO_DATA_FOLDER = Sjis(u8"（マイ ドキュメントが見つかりません）");

inline const std::string READ_ERROR = Sjis(
    u8"アップデート用のファイルを読み取れませんでした。\nCD-ROMの汚れを拭き取ってもう一度実行するか、フォルダごとハードディスクにコピーして実行して下さい。");
inline const std::string UPDATER_ALONE =
    Sjis(u8"アップデート用のファイルが見つかりません。\nダウンロードしたファイルをすべて同じフォルダに展開してから実行して下さい。");

// A file that another program holds, named, and the program that has it
// loaded where one is named.
inline std::string FileInUse(const std::string& file, const std::string& program = "")
{
    return Sjis(u8"次のファイルを他のソフトが使用しています。\n") + file +
           (program.empty() ? "" : Sjis(u8"\n\n使用しているソフト：") + program) +
           Sjis(u8"\n\nそのソフトを終了してから、もう一度［開始］を押して下さい。");
}

// Tolvane itself running, its main executable named.
inline std::string TolvaneRunning(const std::string& file)
{
    return Sjis(u8"Tolvaneが起動しています。\n") + file + Sjis(u8"\n\nTolvaneを終了してから、もう一度［開始］を押して下さい。");
}

// A disk without room: its drive ("C:") and the MB it needs more.
inline std::string NoRoom(const std::string& drive, const std::string& megabytes)
{
    return Sjis(u8"ドライブ ") + drive + Sjis(u8" の空き容量が、あと ") + megabytes +
           Sjis(u8" MB 足りません。\n不要なファイルを削除してから、もう一度［開始］を押して下さい。");
}

// A folder or file that this user may not write, named.
inline std::string NeedAdmin(const std::string& where)
{
    return Sjis(u8"このユーザーには次の場所に書き込む権限がありません。\n") + where +
           Sjis(u8"\n\n管理者でログオンするか、［別のユーザーとして実行］（Windows 2000/XP）で管理者として実行して下さい。");
}

// The updater's own folder too long for the copy step: the release is moved
// as a whole.
inline std::string PathTooLong(const std::string& folder)
{
    return Sjis(u8"アップデーターのフォルダ名が長すぎるため、ファイルをコピーできません。\n") + folder +
           Sjis(u8"\n\nアップデート用のファイルをフォルダごと短い名前のフォルダ（C:\\TLUPDATE など）にコピーしてから、"
                u8"そこでアップデーターを実行して下さい。");
}

// The installation or system folder too long: it is named, and not to be
// renamed, which would leave Tolvane unregistered.
inline std::string FolderTooLong(const std::string& folder)
{
    return Sjis(u8"次のフォルダの名前が長すぎるため、ファイルをコピーできません。\n") + folder +
           Sjis(u8"\n\nフォルダ名を変えるとTolvaneが起動できなくなりますので、変えないで下さい。お手数ですが、サポート窓口にご相談下さい。");
}

// The warning that data files stayed behind, naming both folders, then the
// cause and what to do (by default: no cause known).
inline std::string DataStayed(const std::string& folder, const std::string& dataFolder,
                              const std::string& cause = Sjis(u8"フォルダをご確認のうえ、もう一度アップデーターを実行して下さい。"))
{
    return Sjis(u8"アップデートは終了しましたが、データファイルを移動できませんでした。\nデータファイルは次のフォルダに残っています。\n") +
           folder + "\n\n" + Sjis(u8"移動先のフォルダ：\n") + dataFolder + "\n\n" + cause;
}

// The same, for want of room on `drive` ("C:"): `megabytes` more.
inline std::string DataNoRoom(const std::string& folder, const std::string& dataFolder, const std::string& drive,
                              const std::string& megabytes)
{
    return DataStayed(folder, dataFolder,
                      Sjis(u8"ドライブ ") + drive + Sjis(u8" の空き容量が、あと ") + megabytes +
                          Sjis(u8" MB 足りません。\n不要なファイルを削除してから、もう一度アップデーターを実行して下さい。"));
}

// The same, for a data folder that this user may not write.
inline std::string DataDenied(const std::string& folder, const std::string& dataFolder)
{
    return DataStayed(folder, dataFolder,
                      Sjis(u8"このユーザーには移動先のフォルダに書き込む権限がありません。\n管理者でログオンしてから、もう一度アップデーターを実行して下さい。"));
}

// The same, for a data file that another program holds, named.
inline std::string DataInUse(const std::string& folder, const std::string& dataFolder, const std::string& file)
{
    return DataStayed(folder, dataFolder,
                      Sjis(u8"次のファイルを他のソフトが使用しています。\n") + file +
                          Sjis(u8"\n\nそのソフトを終了してから、もう一度アップデーターを実行して下さい。"));
}

// The same, for a data file whose name the data folder holds with other bytes.
inline std::string DataDiffers(const std::string& folder, const std::string& dataFolder, const std::string& file)
{
    return DataStayed(folder, dataFolder,
                      Sjis(u8"移動先のフォルダには、内容の違う同じ名前のファイルがあります。\n") + file +
                          Sjis(u8"\n\nどちらを使うかをご確認のうえ、使わない方を別のフォルダに移すか削除してから、"
                               u8"もう一度アップデーターを実行して下さい。"));
}

#endif
