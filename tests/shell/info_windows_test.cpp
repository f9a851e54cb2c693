#include "shell/info_windows.h"

#include <gtest/gtest.h>

#include "support/recording_window.h"

namespace vorpane {
namespace {

struct InfoCase {
  InfoWindow which;
  Text title;
  Rectangle group_box;
  Rectangle label;
  Text text;
};

void PrintTo(const InfoCase& info, std::ostream* out) {
  const char* names[] = {"author", "version", "help"};
  *out << names[static_cast<int>(info.which)];
}

class InfoWindowLayoutTest : public testing::TestWithParam<InfoCase> {};

TEST_P(InfoWindowLayoutTest, HoldsTheFixedTextsAndPlaces) {
  const InfoCase& expected = GetParam();
  const ModalWindow layout = info_window_layout(expected.which);
  EXPECT_EQ(layout.title, expected.title);
  EXPECT_EQ(layout.width, 460);
  EXPECT_EQ(layout.height, 304);
  EXPECT_EQ(layout.group_box_name,
            "\xB7\xD6\xD7\xE9\xBF\xF2"
            "1");  // 分组框1
  EXPECT_EQ(layout.group_box_caption, expected.title);
  EXPECT_EQ(layout.group_box_place, expected.group_box);
  ASSERT_EQ(layout.labels.size(), 1u);
  EXPECT_EQ(layout.labels[0].name,
            "\xB1\xEA\xC7\xA9"
            "1");  // 标签1
  EXPECT_EQ(layout.labels[0].place, expected.label);
  EXPECT_EQ(layout.labels[0].text, expected.text);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, InfoWindowLayoutTest,
    testing::Values(
        InfoCase{InfoWindow::AuthorWindow,
                 "\xD7\xF7\xD5\xDF",
                 {20, 46, 414, 184},
                 {52, 42, 139, 112},
                 "\x0D\x0A\xD6\xC6\xD7\xF7\xD5\xDF\xA3\xBATavik\x0D\x0A\x0D\x0A\x0D\x0A\xD6\xC6\xD7"
                 "\xF7\xC8\xD5\xC6\xDA\xA3\xBA"
                 "2013\xC4\xEA"
                 "10\xD4\xC2"
                 "5\xC8\xD5"},
        InfoCase{InfoWindow::VersionWindow,
                 "\xB0\xE6\xB1\xBE",
                 {75, 42, 304, 192},
                 {40, 60, 224, 72},
                 "\xB0\xE6\xB1\xBE\xA3\xBA"
                 "2.0\x0D\x0A\x0D\x0A\xCA\xB1\xBC\xE4\xA3\xBA"
                 "2013\xC4\xEA"
                 "10\xD4\xC2"
                 "5\xC8\xD5\x0D\x0A"},
        InfoCase{
            InfoWindow::HelpWindow,
            "\xB0\xEF\xD6\xFA",
            {20, 46, 414, 184},
            {52, 42, 320, 128},
            "\x0D\x0A"
            "\xA1\xEF\xBF\xAA\xCA\xBC\xC8\xBA\xBA\xC5\xD2\xBB\xB0\xE3\xCE\xAA\xB0\xCB\xCE\xBB"
            "\xCA\xFD\x0D\x0A\x0D\x0A"
            "\xA1\xEF\xB5\xBC\xB3\xF6\xCA\xFD\xBE\xDD\xBF\xE2\xB5\xBD\xB5\xB1\xC7\xB0\xC4\xBF"
            "\xC2\xBC\xCF\xC2\xB5\xC4"
            "edb\xA3\xAC\xBF\xC9\xD7\xB7\xBC\xD3\xBC\xC7\xC2\xBC"
            "\x0D\x0A\x0D\x0A"
            "\xA1\xEF\xCB\xAB\xBB\xF7\xBB\xF1\xC8\xA1\xB5\xBD\xB5\xC4\xBC\xC7\xC2\xBC\xBC\xB4"
            "\xBF\xC9\xB4\xF2\xBF\xAA\xB9\xAB\xBF\xAA\xC8\xBA\x0D\x0A\x0D\x0A"
            "\xA1\xEF\xB5\xBC\xB3\xF6\xB5\xC4txt\xD4\xDA\xB5\xB1\xC7\xB0\xD4\xCB\xD0\xD0\xB5"
            "\xC4\xC4\xBF\xC2\xBC\xCF\xC2\xA3\xAC\xCE\xAA\xD7\xB7\xBC\xD3\xBC\xC7\xC2\xBC"
            "\x0D\x0A\x0D\x0A"
            "\xA1\xEF\xCF\xC2\xB4\xCE\xC6\xF4\xB6\xAF\xD3\xD0\xBC\xC7\xD2\xE4\xC9\xCF\xB4\xCE"
            "\xBF\xAA\xCA\xBC\xC8\xBA\xBA\xC5\xBC\xB0\xC6\xE4\xBB\xF1\xC8\xA1\xCC\xF5\xCA\xFD"}));

TEST(AuthorWindow, HasItsPictureBoxInsideTheGroupBox) {
  const ModalWindow layout = info_window_layout(InfoWindow::AuthorWindow);
  ASSERT_EQ(layout.pictures.size(), 1u);
  EXPECT_EQ(layout.pictures[0].name,
            "\xCD\xBC\xC6\xAC\xBF\xF2"
            "1");  // 图片框1
  EXPECT_EQ(layout.pictures[0].place, (Rectangle{229, 26, 168, 128}));
  EXPECT_EQ(layout.pictures[0].picture, Picture::author);
  EXPECT_TRUE(info_window_layout(InfoWindow::VersionWindow).pictures.empty());
  EXPECT_TRUE(info_window_layout(InfoWindow::HelpWindow).pictures.empty());
}

TEST(OpenInfoWindow, OpensTheWindowModally) {
  RecordingWindow window;
  open_info_window(window, InfoWindow::VersionWindow);
  ASSERT_EQ(window.modal_windows().size(), 1u);
  EXPECT_EQ(window.modal_windows()[0].title, "\xB0\xE6\xB1\xBE");
}

}  // namespace
}  // namespace vorpane
