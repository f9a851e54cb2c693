#include "sample-site/group_pages.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "web/codepage.h"

namespace vorpane {
namespace {

constexpr std::array<std::string_view, 8> group_names = {
    "Linux 运维交流", "考研资料分享", "摄影爱好者",   "英语学习打卡",
    "电子书共享",     "动漫资源站",   "编程入门互助", "自驾游攻略",
};
constexpr std::array<std::string_view, 6> creators = {
    "云端漫步", "zhangwei2012", "小橘子", "数据猫", "LiMing", "北方的狼",
};
constexpr std::array<std::string_view, 5> introductions = {
    "欢迎加入，资源每日更新，请勿发广告。",       "本群只分享学习资料，新人请先看群公告。",
    "交流经验，互相帮助；违规者移出。",           "每周整理一次合集，链接失效请在群里说。",
    "只聊本群话题，资源请分类上传到对应文件夹。",
};
constexpr std::array<std::string_view, 6> topics = {
    "新人报到帖",   "本周资源合集", "求一份入门教程",
    "链接失效反馈", "群规（必读）", "大家都用什么工具",
};

// A small fixed-seed generator: varied filler, the same bytes every run.
class Sequence {
 public:
  explicit Sequence(int32_t seed) : state_(static_cast<uint32_t>(seed) * 2654435761u + 1u) {}
  uint32_t next(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }

 private:
  uint32_t state_;
};

Text cp936(std::string_view utf8) {
  return cp936_from_utf8(utf8);
}

class PageWriter {
 public:
  explicit PageWriter(bool crlf_line_ends) : line_end_(crlf_line_ends ? "\r\n" : "\n") {}

  void line(TextView text) {
    page_ += text;
    page_ += line_end_;
  }
  size_t size() const { return page_.size(); }
  size_t line_end_size() const { return line_end_.size(); }

  // Fills up to `length` bytes with a comment line, or with blanks where a
  // comment does not fit; nothing when the page is that long already.
  void pad_to(size_t length) {
    if (page_.size() >= length) return;
    const size_t missing = length - page_.size();
    const size_t comment_frame = 7 + line_end_.size();  // "<!--" "-->" and the line end
    if (missing < comment_frame) {
      page_.append(missing, ' ');
      return;
    }
    page_ += "<!--";
    page_.append(missing - comment_frame, ' ');
    page_ += "-->";
    page_ += line_end_;
  }

  Text take() { return std::move(page_); }

 private:
  Text line_end_;
  Text page_;
};

Text tag(std::string_view lower_case, bool capitals) {
  Text text(lower_case);
  if (!capitals) return text;
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

void write_layout(PageWriter& page, const GroupFacts& facts, bool capitals) {
  const Text h4 = tag("<h4 >", capitals);
  const Text h4_end = tag("</h4>", capitals);
  const Text span = tag("<span >", capitals);
  const Text span_end = tag("</span>", capitals);
  const Text p = tag("<p >", capitals);
  const Text p_end = tag("</p>", capitals);
  page.line(h4 + facts.name + "&nbsp;&nbsp;" + span + cp936("(群号：") + facts.number + ")" +
            span_end + h4_end);
  page.line(p + span + cp936("创建者：") + span_end + facts.creator + p_end);
  page.line(p + span + cp936("成员数：") + span_end + facts.member_count + p_end);
  page.line(p + span + cp936("群简介：") + span_end + facts.introduction + p_end);
}

Text invitation_code(int32_t seed) {
  static constexpr std::string_view letters = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  Sequence sequence(seed);
  Text code;
  for (int i = 0; i < 8; ++i) {
    code += letters[sequence.next(letters.size())];
  }
  return code;
}

int32_t seed_of(const GroupPageOptions& options) {
  return options.groups.empty() ? 0 : text_to_int(options.groups.front().number);
}

}  // namespace

GroupFacts sample_group_facts(int32_t group_number) {
  const auto n = static_cast<uint32_t>(group_number);
  GroupFacts facts;
  facts.name = cp936(group_names[n % group_names.size()]) +
               int_to_text(static_cast<int32_t>(n % 9 + 1)) + cp936("群");
  facts.number = int_to_text(group_number);
  facts.creator = cp936(creators[(n / 8) % creators.size()]);
  facts.member_count = int_to_text(static_cast<int32_t>(12 + (n * 37u) % 1988));
  facts.introduction = cp936(introductions[(n / 3) % introductions.size()]);
  return facts;
}

GroupPageOptions public_group_page_options(int32_t group_number) {
  GroupPageOptions options;
  options.groups.push_back(sample_group_facts(group_number));
  return options;
}

Text build_group_page(const GroupPageOptions& options) {
  const int32_t seed = seed_of(options);
  Sequence sequence(seed);
  PageWriter page(options.crlf_line_ends);
  const Text title = options.groups.empty() ? cp936("群组") : options.groups.front().name;
  const Text group_id = options.groups.empty() ? Text("0") : options.groups.front().number;

  page.line("<!DOCTYPE html>");
  page.line("<html lang=\"zh-CN\">");
  page.line("<head>");
  page.line("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />");
  page.line("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />");
  page.line("<title>" + title + cp936("_群组_云盘</title>"));
  page.line(
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"/static/css/base.css?v=20150612\" />");
  page.line(
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"/static/css/group.css?v=20150612\" />");
  page.line("<script type=\"text/javascript\" src=\"/static/js/jquery-1.8.3.min.js\"></script>");
  page.line("<script type=\"text/javascript\">");
  page.line("var groupConfig = {gid: \"" + group_id +
            "\", from: \"group\", page: 1, pageSize: 20};");
  page.line("function showInvite(id) { $(\"#invite-\" + id).toggle(); return false; }");
  page.line("</script>");
  page.line("</head>");
  page.line("<body>");
  page.line("<div class=\"header\">");
  page.line(cp936("<div class=\"logo\"><a href=\"/\" title=\"云盘首页\">云盘</a></div>"));
  page.line("<ul class=\"nav\">");
  page.line(cp936("<li><a href=\"/\">首页</a></li>"));
  page.line(cp936("<li class=\"current\"><a href=\"/group/\">群组</a></li>"));
  page.line(cp936("<li><a href=\"/share/\">分享</a></li>"));
  page.line(cp936("<li><a href=\"/help/\">帮助</a></li>"));
  page.line("</ul>");
  page.line("</div>");
  page.line("<div class=\"main\">");
  for (const GroupFacts& facts : options.groups) {
    page.line("<div class=\"group-card\">");
    write_layout(page, facts, options.capital_tags);
    page.line("</div>");
  }

  // Topics up to the invitation block, which then begins where asked.
  const Text invitation_start = "<div class=\"invite\"><span class=\"invite-state\">";
  const Text topics_end = "</ul>";
  const size_t marker_offset =
      static_cast<size_t>(std::max(options.marker_position, int32_t{1})) - 1;
  const size_t invitation_offset = marker_offset - std::min(marker_offset, invitation_start.size());
  const size_t room_for_padding = 32;
  page.line("<ul class=\"topics\">");
  for (int32_t topic = 1; topic <= 200; ++topic) {
    const Text item = "<li><a href=\"/group/" + group_id + "/topic/" + int_to_text(topic) + "\">" +
                      cp936(topics[sequence.next(topics.size())]) + "</a><span>" +
                      int_to_text(static_cast<int32_t>(sequence.next(500))) + cp936(" 回复") +
                      "</span></li>";
    const size_t needed =
        page.size() + item.size() + topics_end.size() + 2 * page.line_end_size() + room_for_padding;
    if (needed > invitation_offset) break;
    page.line(item);
  }
  page.line(topics_end);
  page.pad_to(invitation_offset);
  page.line(
      invitation_start +
      cp936(options.invitation_code_public ? "群邀请码已公开" : "群邀请码未公开") + "</span>" +
      (options.invitation_code_public ? "<b class=\"invite-code\">" + invitation_code(seed) + "</b>"
                                      : Text()) +
      "</div>");

  // More groups, then the footer, ending at the page size.
  const Text footer_lines[] = {
      "</ul>",
      "</div>",
      cp936("<div class=\"footer\">&copy; 2015 云盘 <a href=\"/about/\">关于我们</a></div>"),
      "</body>",
      "</html>",
  };
  size_t footer_size = 0;
  for (const Text& line : footer_lines) {
    footer_size += line.size() + page.line_end_size();
  }
  const auto page_size = static_cast<size_t>(std::max(options.page_size, int32_t{0}));
  page.line("<ul class=\"related\">");
  for (int32_t related = 1; related <= 2000; ++related) {
    const auto other_number =
        static_cast<int32_t>((static_cast<uint32_t>(seed) + sequence.next(5000) + 1) & 0x7FFFFFFF);
    const GroupFacts other = sample_group_facts(other_number);
    const Text item = "<li><a href=\"/group/" + other.number + "\">" + other.name + "</a><span>" +
                      other.member_count + cp936(" 人") + "</span></li>";
    const size_t needed =
        page.size() + item.size() + page.line_end_size() + room_for_padding + footer_size;
    if (needed > page_size) break;
    page.line(item);
  }
  page.pad_to(page_size - std::min(page_size, footer_size));
  for (const Text& line : footer_lines) {
    page.line(line);
  }
  return page.take();
}

}  // namespace vorpane
