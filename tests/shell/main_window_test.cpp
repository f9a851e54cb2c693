#include "shell/ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "shell/program.h"
#include "shell/program_files.h"
#include "store/group_store.h"
#include "support/group_sites.h"
#include "support/modal_watch.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

QString utf8(const char* text) {
  return QString::fromUtf8(text);
}

std::string read_file(const NativePath& path) {
  Bytes content;
  if (read_whole_file(path, content) != ReadResult::ok) return "<unreadable>";
  return std::string(content.begin(), content.end());
}

// Every GUI test runs in a run directory whose path holds spaces and
// characters that code page 936 cannot hold.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    // Not the first start: the store is there, so no message box waits.
    ASSERT_EQ(create_store(store_path(run_directory), group_schema()), store_ok);
    window.start();
    QCoreApplication::processEvents();
  }

  QTreeWidget& list() { return *static_cast<QTreeWidget*>(window.widget(Control::result_list)); }
  QLineEdit& box(Control control) { return *static_cast<QLineEdit*>(window.widget(control)); }

  TemporaryDirectory directory;
  NativePath run_directory = directory.make_subdirectory("run dir 한글 \xF0\x9F\x98\x80");
  Program program{run_directory, unreachable_group_site};
  MainWindow window{program};
};

struct ExpectedControl {
  Control control;
  const char* name;
  QRect geometry;
  Text text;
  bool visible;
  bool tab_stop;
  int label_weight;  // 0 for controls that are not labels
};

const ExpectedControl expected_controls[] = {
    {Control::save_status_label, "标签5", {578, 56, 192, 32}, "", true, false, QFont::Bold},
    {Control::stop_button,
     "按钮_停止获取",
     {444, 3, 100, 85},
     "\xCD\xA3\xD6\xB9\x0D\x0A\xBB\xF1\xC8\xA1",
     true,
     true,
     0},
    {Control::fetch_and_save_button,
     "按钮_获取并保存",
     {248, 7, 176, 33},
     "\xBB\xF1\xC8\xA1\xB2\xA2\xB1\xA3\xB4\xE6",
     true,
     true,
     0},
    {Control::save_button,
     "按钮_保存",
     {337, 56, 87, 32},
     "\xCA\xD6\xB6\xAF\xB1\xA3\xB4\xE6",
     true,
     true,
     0},
    {Control::export_buffer, "编辑框1", {32, 520, 856, 24}, "", false, true, 0},
    {Control::export_button,
     "按钮_导出txx",
     {794, 56, 87, 32},
     "\xB5\xBC\xB3\xF6txt",
     true,
     true,
     0},
    {Control::scan_status_label, "标签4", {578, 8, 303, 32}, "", true, false, QFont::Bold},
    {Control::start_number_caption,
     "标签3",
     {38, 8, 78, 32},
     "\xBF\xAA\xCA\xBC\xC8\xBA\xBA\xC5\xA3\xBA",
     true,
     false,
     QFont::Normal},
    {Control::start_number_box, "编辑框_开始群号", {122, 8, 94, 32}, "10000000", true, true, 0},
    {Control::count_unit_caption,
     "标签2",
     {199, 56, 25, 32},
     "\xCC\xF5",
     true,
     false,
     QFont::Normal},
    {Control::count_caption,
     "标签1",
     {38, 56, 103, 32},
     "\xB3\xA2\xCA\xD4\xBB\xF1\xC8\xA1\xCC\xF5\xCA\xFD\xA3\xBA",
     true,
     false,
     QFont::Normal},
    {Control::count_box, "编辑框_条数", {150, 56, 40, 32}, "100", true, true, 0},
    {Control::fetch_button, "按钮_获取", {248, 56, 68, 32}, "\xBB\xF1\xC8\xA1", true, true, 0},
    {Control::result_list, "超级列表框1", {32, 96, 855, 408}, "", true, true, 0},
};

TEST_F(MainWindowTest, EveryControlHasItsNamePlaceTextAndState) {
  QWidget* client = window.centralWidget();
  for (const ExpectedControl& expected : expected_controls) {
    SCOPED_TRACE(expected.name);
    QWidget* widget = client->findChild<QWidget*>(utf8(expected.name));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget, window.widget(expected.control));
    EXPECT_EQ(widget->accessibleName(), utf8(expected.name));
    EXPECT_EQ(widget->parentWidget(), client);
    EXPECT_EQ(widget->geometry(), expected.geometry);
    EXPECT_TRUE(client->rect().contains(widget->geometry()));
    EXPECT_EQ(window.get_text(expected.control), expected.text);
    EXPECT_EQ(widget->isVisible(), expected.visible);
    EXPECT_TRUE(widget->isEnabled());
    EXPECT_EQ((widget->focusPolicy() & Qt::TabFocus) != 0, expected.tab_stop);
    if (expected.label_weight != 0) {
      EXPECT_EQ(widget->font().pixelSize(), 16);
      EXPECT_EQ(widget->font().weight(), expected.label_weight);
      EXPECT_EQ(QFontInfo(widget->font()).family(), utf8("WenQuanYi Micro Hei"));
    }
  }
  EXPECT_EQ(static_cast<QPushButton*>(window.widget(Control::stop_button))->text(),
            utf8("停止\n获取"));
}

TEST_F(MainWindowTest, WindowIsFixedCentredAndCannotBeMaximised) {
  EXPECT_EQ(window.windowTitle(), utf8("Vorpane"));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_EQ(window.centralWidget()->size(), QSize(907, 552));
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  const QRect screen = window.screen()->geometry();
  EXPECT_EQ(window.frameGeometry().left(),
            screen.left() + (screen.width() - window.frameGeometry().width()) / 2);
  EXPECT_EQ(window.frameGeometry().top(),
            screen.top() + (screen.height() - window.frameGeometry().height()) / 2);
  EXPECT_FALSE(window.windowIcon().isNull());
  for (const int size : {128, 64, 48, 32, 16}) {
    EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(size, size))) << size;
  }
}

TEST_F(MainWindowTest, MenuHasOneTitleWithThreeItems) {
  const QList<QAction*> titles = window.menuBar()->actions();
  ASSERT_EQ(titles.size(), 1);
  EXPECT_EQ(titles[0]->text(), utf8(" 关于 "));
  const QList<QAction*> items = titles[0]->menu()->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), utf8(" 作者 "));
  EXPECT_EQ(items[1]->text(), utf8(" 版本 "));
  EXPECT_EQ(items[2]->text(), utf8(" 帮助 "));
  for (QAction* item : items) {
    EXPECT_TRUE(item->shortcut().isEmpty());
    EXPECT_FALSE(item->isCheckable());
  }
  EXPECT_EQ(items[1], window.menu_action(MenuItem::version));
}

TEST_F(MainWindowTest, ResultListHasSixFixedColumns) {
  QTreeWidget& view = list();
  const char* titles[] = {"群名", "群号", "创建者", "群地址", "成员数", "群简介"};
  const int widths[] = {120, 70, 100, 210, 50, 300};
  ASSERT_EQ(view.columnCount(), 6);
  for (int column = 0; column < 6; ++column) {
    EXPECT_EQ(view.headerItem()->text(column), utf8(titles[column]));
    EXPECT_EQ(view.columnWidth(column), widths[column]);
  }
  EXPECT_FALSE(view.isHeaderHidden());
  EXPECT_FALSE(view.rootIsDecorated());
  EXPECT_FALSE(view.isSortingEnabled());
  EXPECT_FALSE(view.header()->sectionsMovable());
  EXPECT_EQ(view.selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(window.list_row_count(), 0);
}

TEST_F(MainWindowTest, TypingAcceptsOnlyDigitsMinusAndControlKeys) {
  for (const Control control : {Control::start_number_box, Control::count_box}) {
    QLineEdit& edit = box(control);
    window.set_text(control, "");
    QTest::keyClicks(&edit, "1a.2- x3");
    EXPECT_EQ(window.get_text(control), "12-3");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(window.get_text(control), "12-");
    edit.setCursorPosition(0);
    QKeyEvent delete_key(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
    QApplication::sendEvent(&edit, &delete_key);
    EXPECT_EQ(window.get_text(control), "2-");
    edit.end(false);
    QTest::keyClicks(&edit, "1");
    EXPECT_EQ(window.get_text(control), "2-1");
    QKeyEvent full_width_digit(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, utf8("１"));
    QApplication::sendEvent(&edit, &full_width_digit);
    QInputMethodEvent composed;
    composed.setCommitString(utf8("4中5"));
    QApplication::sendEvent(&edit, &composed);
    EXPECT_EQ(window.get_text(control), "2-145");
    // The program's own texts are not filtered.
    window.set_text(control, "ab.c");
    EXPECT_EQ(window.get_text(control), "ab.c");
  }
}

TEST_F(MainWindowTest, TextsCrossTheWindowByteForByte) {
  const Text invalid = "\xFF\x80\x81";  // not code page 936
  window.set_text(Control::start_number_box, invalid);
  EXPECT_EQ(window.get_text(Control::start_number_box), invalid);
  window.set_text(Control::scan_status_label, invalid);
  EXPECT_EQ(window.get_text(Control::scan_status_label), invalid);

  const int row = window.list_append_row();
  EXPECT_EQ(row, 0);
  window.list_set_cell(row, 5, invalid);
  window.list_set_cell(row, 0, "\xC8\xBA");
  EXPECT_EQ(window.list_cell_text(row, 5), invalid);
  EXPECT_EQ(window.list_cell_text(row, 0), "\xC8\xBA");
  EXPECT_EQ(window.list_cell_text(row, 1), "");
  EXPECT_EQ(window.list_cell_text(row, 6), "");
  EXPECT_EQ(window.list_cell_text(1, 0), "");
  EXPECT_EQ(list().topLevelItem(0)->text(0), utf8("群"));

  // A double-byte character split over two appends, and line breaks.
  window.append_text(Control::export_buffer, "a \xC8");
  window.append_text(Control::export_buffer, "\xBA\r\n\xFF");
  EXPECT_EQ(window.get_text(Control::export_buffer), "a \xC8\xBA\r\n\xFF");
  EXPECT_FALSE(window.widget(Control::export_buffer)->isVisible());
  // The hidden buffer's widget gets the text once it is shown.
  window.widget(Control::export_buffer)->show();
  EXPECT_EQ(box(Control::export_buffer).text().left(5), utf8("a 群\r\n"));
  EXPECT_EQ(box(Control::export_buffer).text().size(), 6);
  EXPECT_EQ(window.get_text(Control::export_buffer), "a \xC8\xBA\r\n\xFF");
}

TEST_F(MainWindowTest, TypedTextReplacesWhatTheProgramSet) {
  window.set_text(Control::count_box, "12");
  box(Control::count_box).end(false);
  QTest::keyClicks(&box(Control::count_box), "3");
  EXPECT_EQ(window.get_text(Control::count_box), "123");
  window.append_text(Control::count_box, "\xFF");
  EXPECT_EQ(window.get_text(Control::count_box), "123\xFF");
}

TEST_F(MainWindowTest, ClickSelectsOneWholeRow) {
  for (int row = 0; row < 3; ++row) {
    window.list_append_row();
    for (int column = 0; column < 6; ++column)
      window.list_set_cell(row, column, "x");
  }
  QCoreApplication::processEvents();
  QTreeWidget& view = list();
  auto click = [&](int row, int column, Qt::KeyboardModifiers modifiers) {
    const QRect cell = view.visualRect(view.model()->index(row, column));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, cell.center());
  };
  click(1, 4, Qt::NoModifier);
  EXPECT_EQ(window.list_selected_rows(), std::vector<int>{1});
  EXPECT_EQ(view.selectionModel()->selectedIndexes().size(), 6);
  click(2, 0, Qt::ControlModifier);
  EXPECT_EQ(window.list_selected_rows(), std::vector<int>{2});
  click(0, 3, Qt::ShiftModifier);
  EXPECT_EQ(window.list_selected_rows(), std::vector<int>{0});
  window.list_clear();
  EXPECT_EQ(window.list_row_count(), 0);
  EXPECT_TRUE(window.list_selected_rows().empty());
}

TEST_F(MainWindowTest, LabelsDrawTheirColours) {
  auto count_pixels = [&](Control control, QRgb colour) {
    window.set_text(control, "\xBB\xF1\xC8\xA1\xCD\xEA\xB1\xCF");  // 获取完毕
    const QImage image =
        window.widget(control)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x)
        count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    }
    return count;
  };
  const QRgb red = qRgb(255, 0, 0);
  const QRgb white = qRgb(255, 255, 255);
  EXPECT_GT(count_pixels(Control::scan_status_label, red), 0);
  EXPECT_GT(count_pixels(Control::scan_status_label, white), 0) << "the raised copy is missing";
  EXPECT_GT(count_pixels(Control::save_status_label, red), 0);
  EXPECT_EQ(count_pixels(Control::save_status_label, white), 0);
  EXPECT_EQ(count_pixels(Control::start_number_caption, red), 0);
  EXPECT_GT(count_pixels(Control::start_number_caption, qRgb(0, 0, 0)), 0);
}

struct ExpectedInfoWindow {
  MenuItem item;
  const char* title;
  QRect group_box;
  QRect label;
  bool has_picture;
};

void PrintTo(const ExpectedInfoWindow& info, std::ostream* out) {
  const char* names[] = {"author", "version", "help"};
  *out << names[static_cast<int>(info.item)];
}

class InfoWindowTest : public MainWindowTest,
                       public testing::WithParamInterface<ExpectedInfoWindow> {};

TEST_P(InfoWindowTest, MenuItemOpensItsWindowModally) {
  const ExpectedInfoWindow& expected = GetParam();
  with_modal_window([&] { window.menu_action(expected.item)->trigger(); },
                    [&](QWidget& modal) {
                      auto* dialog = qobject_cast<QDialog*>(&modal);
                      ASSERT_NE(dialog, nullptr);
                      EXPECT_EQ(dialog->windowTitle(), utf8(expected.title));
                      EXPECT_EQ(dialog->parentWidget(), &window);
                      EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
                      EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
                      EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
                      EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
                      const QRect screen = dialog->screen()->geometry();
                      EXPECT_EQ(
                          dialog->frameGeometry().left(),
                          screen.left() + (screen.width() - dialog->frameGeometry().width()) / 2);

                      auto* group_box = dialog->findChild<QGroupBox*>(utf8("分组框1"));
                      ASSERT_NE(group_box, nullptr);
                      EXPECT_EQ(group_box->title(), utf8(expected.title));
                      EXPECT_EQ(group_box->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
                      EXPECT_EQ(group_box->geometry(), expected.group_box);
                      EXPECT_TRUE(dialog->rect().contains(group_box->geometry()));

                      auto* label = group_box->findChild<QLabel*>(utf8("标签1"));
                      ASSERT_NE(label, nullptr);
                      EXPECT_EQ(label->geometry(), expected.label);
                      EXPECT_TRUE(label->wordWrap());
                      EXPECT_FALSE(label->text().contains(u'\r'));
                      EXPECT_LE(label->heightForWidth(label->width()), label->height())
                          << "the text does not fit its label";

                      auto* picture = group_box->findChild<QLabel*>(utf8("图片框1"));
                      ASSERT_EQ(picture != nullptr, expected.has_picture);
                      if (picture != nullptr) {
                        EXPECT_EQ(picture->geometry(), QRect(229, 26, 168, 128));
                        EXPECT_EQ(picture->pixmap().size(), QSize(90, 90));
                        EXPECT_EQ(picture->alignment(), Qt::AlignCenter);
                      }
                    });
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Menu, InfoWindowTest,
    testing::Values(
        ExpectedInfoWindow{MenuItem::author, "作者", {20, 46, 414, 184}, {52, 42, 139, 112}, true},
        ExpectedInfoWindow{MenuItem::version, "版本", {75, 42, 304, 192}, {40, 60, 224, 72}, false},
        ExpectedInfoWindow{MenuItem::help, "帮助", {20, 46, 414, 184}, {52, 42, 320, 128}, false}));

TEST_F(MainWindowTest, MessageBoxesHaveTheirTitleIconAndOneButton) {
  for (const int style : {message_plain, message_warning}) {
    int pressed = 0;
    with_modal_window([&] { pressed = window.show_message("\xC8\xBA", style); },
                      [&](QWidget& modal) {
                        auto* box = qobject_cast<QMessageBox*>(&modal);
                        ASSERT_NE(box, nullptr);
                        EXPECT_EQ(box->windowTitle(), utf8("信息："));
                        EXPECT_EQ(box->text(), utf8("群"));
                        EXPECT_EQ(box->parentWidget(), nullptr);
                        EXPECT_EQ(box->icon(), style == message_warning ? QMessageBox::Warning
                                                                        : QMessageBox::NoIcon);
                        EXPECT_EQ(box->buttons().size(), 1);
                      });
    EXPECT_EQ(pressed, message_ok_pressed);
  }
}

TEST_F(MainWindowTest, DispatchingEventsWaitsTheTimeWhileEventsKeepComing) {
  int dispatched = 0;
  QTimer flood;
  QObject::connect(&flood, &QTimer::timeout, [&] { ++dispatched; });
  flood.start(0);
  QElapsedTimer clock;
  clock.start();
  window.dispatch_events_for(30);
  EXPECT_GE(clock.elapsed(), 30);
  EXPECT_GT(dispatched, 0);
}

TEST_F(MainWindowTest, ClosingSavesTheSettingsBesideTheProgram) {
  bool finished = false;
  window.set_finished_callback([&] { finished = true; });
  window.set_text(Control::start_number_box, "10000100");
  window.close();
  EXPECT_EQ(read_file(join_path(run_directory, "info.ini")), "10000100 | 100");
  EXPECT_TRUE(window.closing());
  EXPECT_TRUE(window.isHidden());
  EXPECT_TRUE(finished);
}

TEST_F(MainWindowTest, StartRestoresTheSavedSettings) {
  ASSERT_TRUE(write_whole_file(settings_path(run_directory), text_to_bytes("31 | 7")));
  Program next_program(run_directory, unreachable_group_site);
  MainWindow next_window(next_program);
  next_window.start();
  EXPECT_EQ(next_window.get_text(Control::start_number_box), "31");
  EXPECT_EQ(next_window.get_text(Control::count_box), "7");
  EXPECT_TRUE(next_window.isVisible());
}

// Forwards to the program, except that a click on the fetch button runs a
// handler that dispatches events until the window is closed, as a scan does.
class LongHandlerEvents final : public WindowEvents {
 public:
  explicit LongHandlerEvents(Program& program) : program_(program) {}

  void window_created(Window& window) override {
    window_ = &window;
    program_.window_created(window);
  }
  void control_clicked(Control) override {
    ++handlers_started;
    QElapsedTimer clock;
    clock.start();
    while (!window_->closing() && clock.elapsed() < 10000)
      window_->process_pending_events();
    saw_closing = window_->closing();
    if (on_closing_seen) on_closing_seen();
    // The controls still work after the close.
    window_->set_text(Control::scan_status_label, "done");
    handler_returned = true;
  }
  void result_list_double_clicked() override {}
  void menu_item_selected(MenuItem item) override { program_.menu_item_selected(item); }
  void window_closing() override {
    ++closings;
    program_.window_closing();
  }

  int handlers_started = 0;
  int closings = 0;
  bool saw_closing = false;
  bool handler_returned = false;
  std::function<void()> on_closing_seen;

 private:
  Program& program_;
  Window* window_ = nullptr;
};

TEST(MainWindowClosing, WaitsForTheRunningHandlerBeforeFinishing) {
  TemporaryDirectory directory;
  ASSERT_EQ(create_store(store_path(directory.path()), group_schema()), store_ok);
  Program program(directory.path(), unreachable_group_site);
  LongHandlerEvents events(program);
  MainWindow window(events);
  window.start();

  QEventLoop loop;
  bool finished = false;
  bool finished_before_handler_returned = false;
  window.set_finished_callback([&] {
    finished = true;
    finished_before_handler_returned = !events.handler_returned;
    loop.quit();
  });
  events.on_closing_seen = [&] {
    // Settings are saved at once, while the handler still runs.
    EXPECT_EQ(read_file(settings_path(directory.path())), "10000000 | 100");
    EXPECT_TRUE(window.isHidden());
    EXPECT_FALSE(finished);
    window.close();  // a second close changes nothing
  };
  auto* fetch = static_cast<QPushButton*>(window.widget(Control::fetch_button));
  QTimer::singleShot(0, fetch, [fetch] { fetch->click(); });
  QTimer::singleShot(50, &window, [&] { window.close(); });
  QTimer::singleShot(20000, &loop, [&] { loop.quit(); });
  loop.exec();

  EXPECT_EQ(events.handlers_started, 1);
  EXPECT_TRUE(events.saw_closing);
  EXPECT_TRUE(events.handler_returned);
  EXPECT_TRUE(finished);
  EXPECT_FALSE(finished_before_handler_returned);
  EXPECT_EQ(events.closings, 1);
  EXPECT_EQ(window.get_text(Control::scan_status_label), "done");
  // No new handler starts once the window has closed.
  fetch->click();
  EXPECT_EQ(events.handlers_started, 1);
}

}  // namespace
}  // namespace vorpane
