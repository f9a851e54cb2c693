#include "shell/ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <limits>

#include "shell/main_window_layout.h"
#include "shell/ui/artwork.h"
#include "shell/ui/caption_label.h"
#include "shell/ui/digits_only_filter.h"
#include "shell/ui/info_dialog.h"
#include "shell/ui/screen_place.h"
#include "shell/ui/text_boundary.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

constexpr const char* label_font_family = "WenQuanYi Micro Hei";
constexpr const char* message_title = "信息：";
constexpr int cell_bytes_role = Qt::UserRole;

// The report list, which also reports double-clicks outside any row.
class ResultList final : public QTreeWidget {
 public:
  ResultList(std::function<void()> double_clicked, QWidget* parent)
      : QTreeWidget(parent), double_clicked_(std::move(double_clicked)) {}

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    QTreeWidget::mouseDoubleClickEvent(event);
    double_clicked_();
  }

 private:
  std::function<void()> double_clicked_;
};

// Selections are drawn only while the control has the focus.
void hide_selection_without_focus(QWidget& widget) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Base));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Text));
  widget.setPalette(palette);
}

QFont label_font(LabelStyle style) {
  QFont font;
  font.setFamilies({QString::fromUtf8(label_font_family)});
  font.setPixelSize(label_font_pixel_size);
  font.setWeight(style == LabelStyle::black ? QFont::Normal : QFont::Bold);
  return font;
}

QColor label_colour(LabelStyle style) {
  return style == LabelStyle::black ? Qt::black : Qt::red;
}

void configure_result_list(QTreeWidget& list) {
  const auto columns = result_list_columns();
  list.setColumnCount(static_cast<int>(columns.size()));
  QStringList titles;
  for (const ListColumn& column : columns)
    titles << utf8_qstring(column.title);
  list.setHeaderLabels(titles);
  for (int index = 0; index < static_cast<int>(columns.size()); ++index) {
    list.setColumnWidth(index, columns[static_cast<size_t>(index)].width);
  }
  list.header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list.header()->setSectionsMovable(false);
  list.header()->setStretchLastSection(false);
  list.setRootIsDecorated(false);
  list.setItemsExpandable(false);
  list.setSortingEnabled(false);
  list.setSelectionMode(QAbstractItemView::SingleSelection);
  list.setSelectionBehavior(QAbstractItemView::SelectRows);
  list.setEditTriggers(QAbstractItemView::NoEditTriggers);
  list.setAllColumnsShowFocus(true);
  list.setUniformRowHeights(true);
  list.setDragEnabled(false);
  hide_selection_without_focus(list);
}

}  // namespace

MainWindow::MainWindow(WindowEvents& events) : events_(events) {
  setWindowTitle(utf8_qstring(main_window_title));
  setWindowIcon(program_icon());
  // Fixed frame with close and minimise buttons, no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  build_menu();
  auto* client = new QWidget(this);
  client->setFixedSize(main_window_client_width, main_window_client_height);
  setCentralWidget(client);
  build_controls(client);
  adjustSize();
  setFixedSize(size());
  centre_on_screen(*this);
}

void MainWindow::build_menu() {
  QMenu* menu = menuBar()->addMenu(utf8_qstring(menu_title));
  for (const MenuItemDefinition& definition : menu_items()) {
    QAction* action = menu->addAction(utf8_qstring(definition.caption));
    const MenuItem item = definition.item;
    connect(action, &QAction::triggered, this,
            [this, item] { run_handler([this, item] { events_.menu_item_selected(item); }); });
    menu_actions_[static_cast<size_t>(item)] = action;
  }
}

void MainWindow::build_controls(QWidget* client) {
  for (const ControlDefinition& definition : main_window_controls()) {
    const Control control = definition.control;
    QWidget* widget = nullptr;
    switch (definition.kind) {
      case ControlKind::label: {
        auto* label =
            new CaptionLabel(label_colour(definition.label_style),
                             definition.label_style == LabelStyle::bold_red_raised, client);
        label->setFont(label_font(definition.label_style));
        widget = label;
        break;
      }
      case ControlKind::push_button: {
        auto* button = new QPushButton(client);
        button->setAutoDefault(false);
        button->setDefault(false);
        connect(button, &QPushButton::clicked, this, [this, control] {
          run_handler([this, control] { events_.control_clicked(control); });
        });
        widget = button;
        break;
      }
      case ControlKind::edit_box: {
        auto* box = new QLineEdit(client);
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (definition.digits_only) box->installEventFilter(new DigitsOnlyFilter(box));
        box->installEventFilter(this);
        hide_selection_without_focus(*box);
        widget = box;
        break;
      }
      case ControlKind::report_list: {
        auto* list = new ResultList(
            [this] { run_handler([this] { events_.result_list_double_clicked(); }); }, client);
        configure_result_list(*list);
        widget = list;
        break;
      }
    }
    const QString name = utf8_qstring(definition.name);
    widget->setObjectName(name);
    widget->setAccessibleName(name);
    widget->setGeometry(definition.place.left, definition.place.top, definition.place.width,
                        definition.place.height);
    widget->setFocusPolicy(definition.tab_stop                     ? Qt::StrongFocus
                           : definition.kind == ControlKind::label ? Qt::NoFocus
                                                                   : Qt::ClickFocus);
    widget->setVisible(definition.visible);
    slot(control).widget = widget;
    if (definition.kind != ControlKind::report_list) {
      set_text(control, cp936_from_utf8(definition.initial_text));
    }
  }
}

void MainWindow::start() {
  run_handler([this] { events_.window_created(*this); });
  if (closing_) return;
  show();
  // Shown, the window knows its frame, which counts in its centred place.
  centre_on_screen(*this);
  raise();
  activateWindow();
}

QWidget* MainWindow::widget(Control control) const {
  return slots_[static_cast<size_t>(control)].widget;
}

QAction* MainWindow::menu_action(MenuItem item) const {
  return menu_actions_[static_cast<size_t>(item)];
}

Text MainWindow::get_text(Control control) {
  Slot& target = slot(control);
  if (target.widget_behind) return target.text;
  if (auto* box = qobject_cast<QLineEdit*>(target.widget)) {
    // The user may have typed since; then the widget's text is the truth.
    const QString current = box->text();
    if (current != target.shown) return from_qstring(current);
  }
  return target.text;
}

void MainWindow::set_text(Control control, const Text& text) {
  Slot& target = slot(control);
  target.text = text;
  if (qobject_cast<QLineEdit*>(target.widget) != nullptr) {
    give_text_to_box(target);
  } else if (auto* button = qobject_cast<QPushButton*>(target.widget)) {
    button->setText(with_line_feeds(to_qstring(text)));
  } else if (auto* label = dynamic_cast<CaptionLabel*>(target.widget)) {
    label->set_caption(to_qstring(text));
  }
}

void MainWindow::set_enabled(Control control, bool enabled) {
  slot(control).widget->setEnabled(enabled);
}

void MainWindow::append_text(Control control, const Text& text) {
  Slot& target = slot(control);
  auto* box = qobject_cast<QLineEdit*>(target.widget);
  if (box == nullptr) return;
  // Typing since the last change makes the widget's text the one to extend.
  if (!target.widget_behind) target.text = get_text(control);
  target.text += text;
  if (box->isHidden()) {
    target.widget_behind = true;
    return;
  }
  box->end(false);
  box->insert(to_qstring(text));
  target.shown = box->text();
}

void MainWindow::give_text_to_box(Slot& target) {
  auto* box = static_cast<QLineEdit*>(target.widget);
  if (box->isHidden()) {
    target.widget_behind = true;
    return;
  }
  box->setText(to_qstring(target.text));
  target.shown = box->text();
  target.widget_behind = false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    for (Slot& target : slots_) {
      if (target.widget == watched && target.widget_behind) give_text_to_box(target);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::list_clear() {
  static_cast<QTreeWidget*>(widget(Control::result_list))->clear();
}

int MainWindow::list_append_row() {
  auto* list = static_cast<QTreeWidget*>(widget(Control::result_list));
  auto* item = new QTreeWidgetItem(list);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
  return list->indexOfTopLevelItem(item);
}

void MainWindow::list_set_cell(int row, int column, const Text& text) {
  auto* list = static_cast<QTreeWidget*>(widget(Control::result_list));
  if (column < 0 || column >= list->columnCount()) return;
  QTreeWidgetItem* item = list->topLevelItem(row);
  if (item == nullptr) return;
  item->setData(column, cell_bytes_role, to_item_data(text));
  item->setText(column, to_qstring(text));
}

int MainWindow::list_row_count() {
  return static_cast<QTreeWidget*>(widget(Control::result_list))->topLevelItemCount();
}

Text MainWindow::list_cell_text(int row, int column) {
  auto* list = static_cast<QTreeWidget*>(widget(Control::result_list));
  if (column < 0 || column >= list->columnCount()) return {};
  QTreeWidgetItem* item = list->topLevelItem(row);
  if (item == nullptr) return {};
  return from_item_data(item->data(column, cell_bytes_role).toByteArray());
}

std::vector<int> MainWindow::list_selected_rows() {
  auto* list = static_cast<QTreeWidget*>(widget(Control::result_list));
  std::vector<int> rows;
  for (const QModelIndex& index : list->selectionModel()->selectedRows())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

int MainWindow::show_message(const Text& text, int style) {
  QMessageBox box(style == message_warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                  QString::fromUtf8(message_title), with_line_feeds(to_qstring(text)),
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  return message_ok_pressed;
}

void MainWindow::open_modal(const ModalWindow& window) {
  InfoDialog dialog(window, this);
  dialog.exec();
}

void MainWindow::process_pending_events() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::dispatch_events_for(int milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
  // A timer may fire a little early; the loop goes on until the time has
  // really passed.
  do {
    const auto remaining =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::max<decltype(remaining)>(remaining, 0)),
                       Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
  } while (Clock::now() < deadline);
}

void MainWindow::open_address(const Text& address) {
  QDesktopServices::openUrl(QUrl(to_qstring(address), QUrl::TolerantMode));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The window itself stays: a handler suspended in event dispatch may still
  // use the controls, and it is let go only when the last handler returns.
  event->ignore();
  if (close_started_) return;
  close_started_ = true;
  run_handler([this] { events_.window_closing(); });
  closing_ = true;
  hide();
  finish_if_idle();
}

void MainWindow::run_handler(const std::function<void()>& handler) {
  // Once closed, the window takes no new actions.
  if (closing_) return;
  ++handler_depth_;
  handler();
  --handler_depth_;
  finish_if_idle();
}

void MainWindow::finish_if_idle() {
  if (!closing_ || handler_depth_ > 0 || finished_) return;
  finished_ = true;
  if (finished_callback_) finished_callback_();
}

}  // namespace vorpane
