#include "scan/group_pattern.h"

#include "web/codepage.h"

namespace vorpane {

const Text group_pattern = cp936_from_utf8(
    "<h4 >(.*?)&nbsp;&nbsp;<span >\\(群号：(.*?)\\)</span></h4>\n"
    "<p ><span >创建者：</span>(.*?)</p>\n"
    "<p ><span >成员数：</span>(.*?)</p>\n"
    "<p ><span >群简介：</span>(.*?)</p>");

const Text public_marker = cp936_from_utf8("群邀请码已公开");

}  // namespace vorpane
