#include <gtest/gtest.h>

#include <string>

#include "app/owner/result_views.h"
#include "support/battle_builder.h"
#include "support/test_support.h"
#include "tally/csv_export.h"
#include "tally/tallies.h"
#include "tally/tally_table.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

TEST(CsvField, QuotesSpacesControlBytesQuotesAndCommasOnly) {
  EXPECT_EQ(CsvField("Taro"), "Taro");
  EXPECT_EQ(CsvField(""), "");
  EXPECT_EQ(CsvField("33.3%"), "33.3%");
  EXPECT_EQ(CsvField("Taro Jiro"), "\"Taro Jiro\"");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("\"\""), "\"\"\"\"\"\"");
  EXPECT_EQ(CsvField("x\ty"), "\"x\ty\"");
  EXPECT_EQ(CsvField(std::string("x\x01", 2)), std::string("\"x\x01\"", 4));
  EXPECT_EQ(CsvField("x\x7f"), "x\x7f");

  // Bytes from 0x80 up are not control bytes: Japanese names, half-width katakana and a
  // double-byte character whose second byte is 0x5C stay bare.
  EXPECT_EQ(CsvField(S("提督")), S("提督"));
  EXPECT_EQ(CsvField(S("ｱｲｳ")), S("ｱｲｳ"));
  EXPECT_EQ(CsvField(S("表示")), S("表示"));
  EXPECT_EQ(CsvField(S("全角　空白")), S("全角　空白"));  // 0x81 0x40: no space byte
  EXPECT_EQ(CsvField(S("表 示")), "\"" + S("表 示") + "\"");
  EXPECT_EQ(CsvField(S("名\"前")), "\"" + S("名\"\"前") + "\"");

  // Half a character (a lead byte cut from its second byte) must not hide the comma or
  // quote after it, or the record would fall apart.
  EXPECT_EQ(CsvField("\x95,"), "\"\x95,\"");
  EXPECT_EQ(CsvField("\x95\"x"), "\"\x95\"\"x\"");
  EXPECT_EQ(CsvField("x\x95"), "x\x95");
}

class CsvExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteListFile(dir.File("SkillList.txt"), {"砲撃", "a,\"b\""});
    test::WriteListFile(dir.File("ItemList.txt"), {"木材,1"});
    test::SetUpApp(app, dir);
    app.CsvPath = dir.File("log.csv");
    RebuildTallyColumns(app);
  }
  test::TempDir dir;
  App app;
  test::BattleBuilder build{app};
};

TEST_F(CsvExportTest, WritesTheTableAsShown) {
  const std::string header = "名前,戦闘数,与撃沈,決定,被撃沈,与拿捕,被拿捕,粘り,艦隊料理\r\n";
  EXPECT_EQ(U(TallyTableCsv(app.TallyTable, "\r\n")), header);  // no rows: the header alone

  const int b0 = build.Battle(), b1 = build.Battle(), b2 = build.Battle();
  const int spaced = build.Name("Taro Jiro"), hidden = build.Name("隠れ"), plain = build.Name("花子");
  for (int b : {b0, b1, b2}) build.Present(spaced, b, Side::Enemy);
  build.Present(hidden, b0, Side::Enemy);
  build.Present(plain, b1, Side::Own);
  build.Takes(spaced, 0, b0);
  build.Takes(0, spaced, b1);
  build.Takes(plain, spaced, b2);
  app.Names[hidden].Visible = 0;
  RefreshTallies(app);
  EXPECT_EQ(U(TallyTableCsv(app.TallyTable, "\r\n")), header +
                                               "YOU,3,1,0,1,0,0,0,0\r\n"
                                               "\"Taro Jiro\",3,1,0,2,0,0,0,0\r\n"
                                               "花子,1,1,0,0,0,0,0,0\r\n");

  // Sorted rows are written in their order, averages as shown, the extra columns quoted.
  app.SkillChecked = {0, 1};
  RebuildTallyColumns(app);
  app.Acts.AvgHitDown.Checked = true;
  app.Acts.AvgSkillItem.Checked = true;
  RefreshTallies(app);
  SortTallyByColumn(app, 4);  // 被撃沈, largest first
  EXPECT_EQ(U(TallyTableCsv(app.TallyTable, "\n")),
            "名前,戦闘数,与撃沈,決定,被撃沈,与拿捕,被拿捕,粘り,艦隊料理,\"a,\"\"b\"\"\"\n"
            "\"Taro Jiro\",3,33.3%,0.0%,66.7%,0.0%,0.0%,0.00,0.00,0.00\n"
            "YOU,3,33.3%,0.0%,33.3%,0.0%,0.0%,0.00,0.00,0.00\n"
            "花子,1,100.0%,0.0%,0.0%,0.0%,0.0%,0.00,0.00,0.00\n");
}

TEST_F(CsvExportTest, SavingReplacesTheFileAndReportsFailures) {
  const int b = build.Battle();
  build.Present(build.Name("花子"), b, Side::Own);
  RefreshTallies(app);
  test::WriteBytes(app.CsvPath, "older and longer content than the table");
  std::string error;
  ASSERT_TRUE(SaveTallyCsv(app, &error)) << error;
  EXPECT_EQ(test::ReadBytes(app.CsvPath), TallyTableCsv(app.TallyTable, "\r\n"));
  EXPECT_EQ(U(test::ReadBytes(app.CsvPath)).substr(0, 6), "名前");
  // Where it went is said, the file's path in full.
  EXPECT_EQ(U(app.StatusText), "CSVファイルに保存しました: " + app.CsvPath);

  app.Names[1].Visible = 0;
  RefreshTallies(app);
  ASSERT_TRUE(SaveTallyCsv(app, &error)) << error;
  EXPECT_EQ(test::ReadBytes(app.CsvPath), TallyTableCsv(app.TallyTable, "\r\n"));

  app.CsvPath = dir.File("no such folder/log.csv");
  error.clear();
  app.SetStatus("before");
  EXPECT_FALSE(SaveTallyCsv(app, &error));
  EXPECT_EQ(app.StatusText, "before") << "a failure is not said to be a save";
  EXPECT_NE(error.find("no such folder"), std::string::npos) << error;

  app.CsvPath.clear();
  error.clear();
  EXPECT_FALSE(SaveTallyCsv(app, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace mizuto
