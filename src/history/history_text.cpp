#include "history/history_store.h"

#include "battle/battle_label.h"
#include "text/codec.h"

namespace mizuto {

std::string HistoryErrorText(const HistoryError& error) {
  const std::string path = Utf8ToSjis(error.Path);
  const std::string detail = error.Detail.empty() ? std::string() : " (" + Utf8ToSjis(error.Detail) + ")";
  switch (error.Failure) {
    case HistoryFailure::None:
      return {};
    case HistoryFailure::NotAvailable:
      return SJ("このMizutoは履歴なしで作られています。履歴を使うには、履歴のある版をお使いください。");
    case HistoryFailure::CannotOpen:
      return SJ("履歴ファイルを開けません: ") + path + detail +
             SJ("。フォルダがあり、書き込めるかを確かめてください。解析は履歴なしで続けます。");
    case HistoryFailure::CannotWrite:
      return SJ("履歴ファイルに書き込めません: ") + path + detail +
             SJ("。ディスクの空きと、ファイルとフォルダの書き込み権限を確かめてください。解析は履歴なしで続けます。");
    case HistoryFailure::Locked:
      return SJ("履歴ファイルはほかのプログラムが書き込み中で、待っても空きませんでした: ") + path + detail +
             SJ("。そのプログラムが終わってから、読み込み直すか取り込み直してください。解析は続けます。");
    case HistoryFailure::Corrupt:
      return SJ("履歴ファイルが壊れているか、履歴ファイルではありません: ") + path + detail +
             SJ("。このファイルを別の名前に変えるか別の場所へ移すと、次の読み込みで新しい履歴が作られます。");
    case HistoryFailure::Refused:
      return SJ("履歴ファイルが記録を受け付けませんでした: ") + path + detail +
             SJ("。記録が履歴ファイルの決まりに合いません（ディスクや書き込み権限の問題ではありません）。"
                "ログと履歴ファイルはそのまま残してあります。解析は履歴なしで続けます。");
    case HistoryFailure::NewerVersion:
      return SJ("履歴ファイルは新しい版のMizutoで作られています: ") + path +
             SJ("。新しい版のMizutoをお使いください（ファイルはそのまま残してあります）。");
  }
  return {};
}

std::string HistorySummaryText(const HistorySummary& s) {
  return SummaryText(SummaryFigures{s.Battles, s.Won, s.Lost, s.Undecided, s.Escaped, s.Withdrawn,
                                    s.CriticalsDealt, s.CriticalsTaken, s.WastedRepairs, s.WastedCare,
                                    s.WastedOther});
}

}  // namespace mizuto
