// The whole program as a user drives it: the real window on Qt's offscreen
// platform, the real handlers, and the sample group site on loopback.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstring>
#include <functional>

#include "loopback_server/loopback_server.h"
#include "sample-site/group_pages.h"
#include "sample-site/sample_site.h"
#include "shell/program.h"
#include "shell/program_files.h"
#include "shell/ui/caption_label.h"
#include "shell/ui/main_window.h"
#include "store/group_store.h"
#include "support/modal_watch.h"
#include "support/temporary_directory.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

QString utf8(const char* text) {
  return QString::fromUtf8(text);
}

Bytes file_bytes(const NativePath& path) {
  Bytes content;
  EXPECT_EQ(read_whole_file(path, content), ReadResult::ok) << path;
  return content;
}

std::string file_text(const NativePath& path) {
  const Bytes content = file_bytes(path);
  return std::string(content.begin(), content.end());
}

int32_t int_at(const Bytes& file, size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, file.data() + offset, sizeof value);
  return value;
}

// A run of the program: a run directory that already holds its store (the
// first start has its own test), the sample site, the window.
class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.start());
    ASSERT_EQ(create_store(store_path(run_directory_), group_schema()), store_ok);
    start();
  }

  void start() {
    program_ = std::make_unique<Program>(run_directory_, site_.address() + "/group/");
    window_ = std::make_unique<MainWindow>(*program_);
    window_->start();
    QCoreApplication::processEvents();
  }

  QPushButton& button(Control control) {
    return *static_cast<QPushButton*>(window_->widget(control));
  }
  QLineEdit& box(Control control) { return *static_cast<QLineEdit*>(window_->widget(control)); }
  QTreeWidget& list() { return *static_cast<QTreeWidget*>(window_->widget(Control::result_list)); }
  QString caption(Control control) {
    return static_cast<CaptionLabel*>(window_->widget(control))->caption();
  }

  // Types the range into the boxes as the user does, then clicks `control`;
  // the click returns once its handler has run to its end.
  void click_with_range(const char* start, const char* count, Control control) {
    for (auto [target, text] :
         {std::pair{Control::start_number_box, start}, std::pair{Control::count_box, count}}) {
      box(target).selectAll();
      QTest::keyClick(&box(target), Qt::Key_Backspace);
      QTest::keyClicks(&box(target), text);
    }
    click(control);
  }
  void click(Control control) { QTest::mouseClick(&button(control), Qt::LeftButton); }

  // Runs `action` at the first event processing at which `ready` holds.
  void when(std::function<bool()> ready, std::function<void()> action) {
    auto* timer = new QTimer(window_.get());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, action] {
      if (!ready()) return;
      timer->stop();
      action();
    });
    timer->start(1);
  }

  std::vector<LoopbackRequest> posts() const {
    std::vector<LoopbackRequest> result;
    for (LoopbackRequest& request : site_.requests()) {
      if (request.method == "POST") result.push_back(std::move(request));
    }
    return result;
  }

  Text address_of(int32_t number) const {
    return site_.address() + "/group/" + int_to_text(number);
  }

  TemporaryDirectory directory_;
  NativePath run_directory_ = directory_.make_subdirectory("Vorpane 运行 \xF0\x9F\x93\x81");
  LoopbackServer site_{sample_site_answer};
  std::unique_ptr<Program> program_;
  std::unique_ptr<MainWindow> window_;
};

// 获取完毕，共找到 <n> 条邀请码公开群！
QString summary(int found) {
  return utf8("获取完毕，共找到 ") + QString::number(found) + utf8(" 条邀请码公开群！");
}

TEST_F(EndToEndTest, ScanListsThePublicGroupsOfAMixOfPages) {
  struct Observation {
    bool fetch, save, fetch_and_save, export_button, stop;
    QString status;
  };
  std::vector<Observation> during;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    during.push_back(
        {button(Control::fetch_button).isEnabled(), button(Control::save_button).isEnabled(),
         button(Control::fetch_and_save_button).isEnabled(),
         button(Control::export_button).isEnabled(), button(Control::stop_button).isEnabled(),
         caption(Control::scan_status_label)});
  });
  sampler.start(5);
  click_with_range("10000000", "10", Control::fetch_button);
  sampler.stop();

  // Last digits 0, 1, 3, 6, 7 and 9 are public groups: code page 936 pages,
  // UTF-8 pages said so in the page or in the headers, and a 301.
  const std::vector<int32_t> listed = {10000000, 10000001, 10000003, 10000006, 10000007, 10000009};
  ASSERT_EQ(window_->list_row_count(), static_cast<int>(listed.size()));
  for (size_t row = 0; row < listed.size(); ++row) {
    const GroupFacts facts = sample_group_facts(listed[row]);
    const int r = static_cast<int>(row);
    EXPECT_EQ(window_->list_cell_text(r, 0), facts.name);
    EXPECT_EQ(window_->list_cell_text(r, 1), facts.number);
    EXPECT_EQ(window_->list_cell_text(r, 2), facts.creator);
    EXPECT_EQ(window_->list_cell_text(r, 3), address_of(listed[row]));
    EXPECT_EQ(window_->list_cell_text(r, 4), facts.member_count);
    EXPECT_EQ(window_->list_cell_text(r, 5), facts.introduction);
    EXPECT_EQ(list().topLevelItem(r)->text(0),
              QString::fromStdU16String(cp936_to_utf16(facts.name)));
  }
  EXPECT_EQ(box(Control::start_number_box).text(), "10000010");
  EXPECT_EQ(caption(Control::scan_status_label), summary(6));
  EXPECT_TRUE(button(Control::fetch_button).isEnabled());
  EXPECT_TRUE(button(Control::save_button).isEnabled());
  EXPECT_TRUE(button(Control::fetch_and_save_button).isEnabled());

  ASSERT_FALSE(during.empty());
  for (const Observation& seen : during) {
    EXPECT_FALSE(seen.fetch || seen.save || seen.fetch_and_save);
    EXPECT_TRUE(seen.export_button && seen.stop);
    EXPECT_EQ(seen.status, utf8("正在获取ing..."));
  }

  const std::vector<LoopbackRequest> requests = posts();
  ASSERT_EQ(requests.size(), 10u);
  for (size_t i = 0; i < requests.size(); ++i) {
    const std::string path = "/group/" + std::to_string(10000000 + i);
    const std::string& raw = requests[i].raw;
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST " + path + " HTTP/1.1");
    EXPECT_NE(raw.find("\r\nReferer: " + site_.address() + path +
                       "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                       "Content-Type: application/x-www-form-urlencoded\r\n"),
              std::string::npos);
    EXPECT_EQ(requests[i].header("Content-Length"), "0");
  }
}

TEST_F(EndToEndTest, StopDuringThePauseKeepsThatRowAndAdvancesPastIt) {
  when([&] { return window_->list_row_count() == 2; }, [&] { click(Control::stop_button); });
  click_with_range("10000000", "50", Control::fetch_button);
  EXPECT_EQ(window_->list_row_count(), 2);
  EXPECT_EQ(window_->list_cell_text(1, 3), address_of(10000001));
  EXPECT_EQ(box(Control::start_number_box).text(), "10000002");
  EXPECT_EQ(caption(Control::scan_status_label), summary(2));
  EXPECT_EQ(posts().size(), 2u);
}

TEST_F(EndToEndTest, ExportDuringAScanWritesTheRowsListedSoFar) {
  when([&] { return window_->list_row_count() == 1; }, [&] { click(Control::export_button); });
  click_with_range("10000000", "4", Control::fetch_button);
  const GroupFacts first = sample_group_facts(10000000);
  EXPECT_EQ(file_text(export_path(run_directory_)),
            first.name + " " + address_of(10000000) + "\r\n");
  EXPECT_EQ(window_->list_row_count(), 3);
}

TEST_F(EndToEndTest, CountsThatRunNothing) {
  for (const char* count : {"0", "", "-3"}) {
    window_->list_set_cell(window_->list_append_row(), 0, "old");
    click_with_range("0010", count, Control::fetch_button);
    EXPECT_EQ(window_->list_row_count(), 0) << count;
    EXPECT_EQ(box(Control::start_number_box).text(), "10") << count;
    EXPECT_EQ(caption(Control::scan_status_label), summary(0)) << count;
  }
  EXPECT_TRUE(site_.requests().empty());
}

TEST_F(EndToEndTest, SavesThreeRowsIntoANewStore) {
  click_with_range("10000000", "4", Control::fetch_button);
  ASSERT_EQ(window_->list_row_count(), 3);
  click(Control::save_button);
  const Bytes store = file_bytes(store_path(run_directory_));
  ASSERT_EQ(store.size(), 1115u);
  EXPECT_EQ(int_at(store, 16), 3);
  EXPECT_EQ(int_at(store, 20), 4);
  for (int record = 0; record < 3; ++record) {
    EXPECT_EQ(int_at(store, 548 + 189 * static_cast<size_t>(record)), record + 1);
  }
  const GroupFacts first = sample_group_facts(10000000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(store.data()) + 552, first.name.size()),
            first.name);
  EXPECT_EQ(caption(Control::save_status_label), utf8("保存数据库成功！"));
}

TEST_F(EndToEndTest, FetchAndSaveSavesWhatTheScanFound) {
  click_with_range("10000003", "4", Control::fetch_and_save_button);
  EXPECT_EQ(window_->list_row_count(), 2);  // 10000003 and 10000006
  EXPECT_EQ(file_bytes(store_path(run_directory_)).size(), 548u + 189u * 2u);
  EXPECT_EQ(caption(Control::save_status_label), utf8("保存数据库成功！"));
}

void expect_save_failure_box(QWidget& modal) {
  auto* message = qobject_cast<QMessageBox*>(&modal);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->text(), utf8("保存失败：找不到当前目录下的db.edb"));
  EXPECT_EQ(message->windowTitle(), utf8("信息："));
  EXPECT_EQ(message->icon(), QMessageBox::Warning);
}

TEST_F(EndToEndTest, SaveWithoutTheStoreWarnsAndCreatesNothing) {
  click_with_range("10000000", "1", Control::fetch_button);
  ASSERT_EQ(::unlink(store_path(run_directory_).c_str()), 0);
  with_modal_window([&] { click(Control::save_button); }, expect_save_failure_box);
  EXPECT_FALSE(path_exists(store_path(run_directory_)));
  EXPECT_EQ(caption(Control::save_status_label), "");
}

TEST_F(EndToEndTest, SaveIntoAFileThatIsNoStoreLeavesItUntouched) {
  click_with_range("10000000", "1", Control::fetch_button);
  const Bytes other = text_to_bytes("not a store, but somebody's notes\r\n");
  ASSERT_TRUE(write_whole_file(store_path(run_directory_), other));
  with_modal_window([&] { click(Control::save_button); }, expect_save_failure_box);
  EXPECT_EQ(file_bytes(store_path(run_directory_)), other);
}

TEST_F(EndToEndTest, ExportTwiceWritesTheLinesTwice) {
  click_with_range("10000000", "2", Control::fetch_button);
  ASSERT_EQ(window_->list_row_count(), 2);
  click(Control::export_button);
  click(Control::export_button);
  // The first sample group's name holds a space: it is written as it is.
  const GroupFacts first = sample_group_facts(10000000);
  ASSERT_NE(first.name.find(' '), Text::npos);
  const Text lines = first.name + " " + address_of(10000000) + "\r\n" +
                     sample_group_facts(10000001).name + " " + address_of(10000001) + "\r\n";
  EXPECT_EQ(file_text(export_path(run_directory_)), lines + lines);
  EXPECT_EQ(caption(Control::save_status_label), utf8("导出txt成功！"));
  EXPECT_EQ(window_->get_text(Control::export_buffer), lines + lines);
}

TEST_F(EndToEndTest, TheNextStartContinuesWhereTheScanEnded) {
  click_with_range("10000000", "3", Control::fetch_button);
  window_->close();
  EXPECT_EQ(file_text(settings_path(run_directory_)), "10000003 | 3");
  window_.reset();
  start();
  EXPECT_EQ(box(Control::start_number_box).text(), "10000003");
  EXPECT_EQ(box(Control::count_box).text(), "3");
  click(Control::fetch_button);
  EXPECT_EQ(posts().back().target, "/group/10000005");
}

TEST_F(EndToEndTest, ClosingDuringAScanSavesTheBoxesAndEndsIt) {
  bool finished = false;
  window_->set_finished_callback([&] { finished = true; });
  when([&] { return window_->list_row_count() == 1; }, [&] { window_->close(); });
  click_with_range("10000000", "100", Control::fetch_button);
  // Saved as the boxes stood when the window closed, before the scan's end.
  EXPECT_EQ(file_text(settings_path(run_directory_)), "10000000 | 100");
  EXPECT_LE(posts().size(), 2u);
  EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace vorpane
