#include "shell/info_windows.h"

#include "web/codepage.h"

namespace vorpane {
namespace {

constexpr int info_window_width = 460;
constexpr int info_window_height = 304;

ModalWindow base_layout(const char* title, Rectangle group_box_place) {
  ModalWindow layout;
  layout.title = cp936_from_utf8(title);
  layout.width = info_window_width;
  layout.height = info_window_height;
  layout.group_box_name = cp936_from_utf8("分组框1");
  layout.group_box_place = group_box_place;
  layout.group_box_caption = layout.title;
  return layout;
}

ModalLabel text_label(Rectangle place, const char* text) {
  return ModalLabel{cp936_from_utf8("标签1"), place, cp936_from_utf8(text)};
}

}  // namespace

ModalWindow info_window_layout(InfoWindow which) {
  switch (which) {
    case InfoWindow::AuthorWindow: {
      ModalWindow layout = base_layout("作者", {20, 46, 414, 184});
      layout.pictures.push_back({cp936_from_utf8("图片框1"), {229, 26, 168, 128}, Picture::author});
      layout.labels.push_back(text_label({52, 42, 139, 112},
                                         "\r\n"
                                         "制作者：Tavik\r\n"
                                         "\r\n"
                                         "\r\n"
                                         "制作日期：2013年10月5日"));
      return layout;
    }
    case InfoWindow::VersionWindow: {
      ModalWindow layout = base_layout("版本", {75, 42, 304, 192});
      layout.labels.push_back(text_label({40, 60, 224, 72},
                                         "版本：2.0\r\n"
                                         "\r\n"
                                         "时间：2013年10月5日\r\n"));
      return layout;
    }
    case InfoWindow::HelpWindow: {
      ModalWindow layout = base_layout("帮助", {20, 46, 414, 184});
      layout.labels.push_back(text_label({52, 42, 320, 128},
                                         "\r\n"
                                         "★开始群号一般为八位数\r\n"
                                         "\r\n"
                                         "★导出数据库到当前目录下的edb，可追加记录\r\n"
                                         "\r\n"
                                         "★双击获取到的记录即可打开公开群\r\n"
                                         "\r\n"
                                         "★导出的txt在当前运行的目录下，为追加记录\r\n"
                                         "\r\n"
                                         "★下次启动有记忆上次开始群号及其获取条数"));
      return layout;
    }
  }
  return {};
}

void open_info_window(Window& window, InfoWindow which) {
  window.open_modal(info_window_layout(which));
}

}  // namespace vorpane
