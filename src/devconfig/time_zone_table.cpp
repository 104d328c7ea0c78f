#include "devconfig/time_zone_table.h"

#include <array>

namespace vdz {
namespace {

struct ZoneRow {
  int value;
  const char* short_name;
  const char* long_name;
};

constexpr ZoneRow kZones[kTimeZoneCount] = {
    {0, "(GMT-12:00)", "(GMT-12:00)埃尼威托克，夸贾林岛"},
    {60, "(GMT-11:00)", "(GMT-11:00)中途岛，萨摩亚群岛"},
    {120, "(GMT-10:00)", "(GMT-10:00)夏威夷"},
    {180, "(GMT-09:00)", "(GMT-09:00)阿拉斯加"},
    {240, "(GMT-08:00)", "(GMT-08:00)太平洋时间（美国和加拿大）；蒂华"},
    {300, "(GMT-07:00)", "(GMT-07:00)山地时间（美国和加拿大）；亚利桑那"},
    {360, "(GMT-06:00)", "(GMT-06:00)中部时间（美国和加拿大）；中美洲，墨西哥城"},
    {420, "(GMT-05:00)", "(GMT-05:00)东部时间（美国和加拿大）；波哥达，利马"},
    {450, "(GMT-04:30)", "(GMT-04:30)"},
    {480, "(GMT-04:00)", "(GMT-04:00)大西洋时间（加拿大）；加拉加斯，圣地亚哥"},
    {510, "(GMT-03:30)", "(GMT-03:30)纽芬兰"},
    {540, "(GMT-03:00)", "(GMT-03:00)巴西利亚，布宜诺斯艾利斯，乔治敦，格陵兰"},
    {600, "(GMT-02:00)", "(GMT-02:00)中大西洋"},
    {660, "(GMT-01:00)", "(GMT-01:00)佛得角群岛，亚速尔群岛"},
    {720, "(GMT)", "(GMT)格林威治平时；都柏林，爱丁堡，伦敦，里斯本"},
    {780, "(GMT+01:00)", "(GMT+01:00)阿姆斯特丹，柏林，罗马，斯得哥尔摩，巴黎"},
    {840, "(GMT+02:00)", "(GMT+02:00)开罗，雅典，伊斯坦布尔，明斯克，耶路撒冷"},
    {900, "(GMT+03:00)", "(GMT+03:00)巴格达，科威特，利雅得，莫斯科，圣彼得堡"},
    {930, "(GMT+03:30)", "(GMT+03:30)德黑兰"},
    {960, "(GMT+04:00)", "(GMT+04:00)阿布扎比，马斯喀特，巴库，第比利斯，埃里温"},
    {990, "(GMT+04:30)", "(GMT+04:30)喀布尔"},
    {1020, "(GMT+05:00)", "(GMT+05:00)叶卡捷林堡，伊斯兰堡，卡拉奇，塔什干"},
    {1050, "(GMT+05:30)", "(GMT+05:30)马德拉斯，加尔各答，孟买，新德里"},
    {1065, "(GMT+05:45)", "(GMT+05:45)加德满都"},
    {1080, "(GMT+06:00)", "(GMT+06:00)阿拉木图，新西伯利亚，阿斯塔纳，达卡"},
    {1110, "(GMT+06:30)", "(GMT+06:30)仰光"},
    {1140, "(GMT+07:00)", "(GMT+07:00)曼谷，雅加达，河内"},
    {1200, "(GMT+08:00)", "(GMT+08:00)北京，重庆，乌鲁木齐，香港特别行政区，台北"},
    {1260, "(GMT+09:00)", "(GMT+09:00)东京，大坂，札幌，汉城，雅库茨克"},
    {1290, "(GMT+09:30)", "(GMT+09:30)达尔文，阿德莱德"},
    {1320, "(GMT+10:00)", "(GMT+10:00)布里斯班，关岛，堪培拉，墨尔本，悉尼"},
    {1380, "(GMT+11:00)", "(GMT+11:00)马加丹，索罗门群岛，新喀里多尼亚"},
    {1440, "(GMT+12:00)", "(GMT+12:00)富士，勘察加半岛，马绍尔群岛，惠灵顿"},
    {1500, "(GMT+13:00)", "(GMT+13:00)努库阿洛法"},
};

template <bool kLong>
constexpr std::array<TimeZoneEntry, kTimeZoneCount + 1> MakeList() {
  std::array<TimeZoneEntry, kTimeZoneCount + 1> list{};
  for (int i = 0; i < kTimeZoneCount; ++i)
    list[i] = {kZones[i].value, kLong ? kZones[i].long_name : kZones[i].short_name};
  list[kTimeZoneCount] = {-1, ""};
  return list;
}

constexpr auto kLongList = MakeList<true>();
constexpr auto kShortList = MakeList<false>();

}  // namespace

std::span<const TimeZoneEntry> TimeZoneList(std::string_view language_code) {
  if (language_code == "zh-cn")
    return kLongList;
  return kShortList;
}

int TimeZoneValueAt(int index) {
  return index >= 0 && index < kTimeZoneCount ? kZones[index].value : 0;
}

int TimeZoneIndexOf(int value) {
  for (int i = 0; i < kTimeZoneCount; ++i) {
    if (kZones[i].value == value)
      return i;
  }
  return -1;
}

int TimeZoneValueFromOffset(std::string_view offset) {
  int sign = 1;
  if (!offset.empty() && (offset[0] == '+' || offset[0] == '-')) {
    sign = offset[0] == '-' ? -1 : 1;
    offset.remove_prefix(1);
  }
  if (offset.size() != 5 || offset[2] != ':')
    return -1;
  for (int i : {0, 1, 3, 4}) {
    if (offset[i] < '0' || offset[i] > '9')
      return -1;
  }
  const int hours = (offset[0] - '0') * 10 + (offset[1] - '0');
  const int minutes = (offset[3] - '0') * 10 + (offset[4] - '0');
  if (minutes > 59)
    return -1;
  const int value = 720 + sign * (hours * 60 + minutes);
  return TimeZoneIndexOf(value) >= 0 ? value : -1;
}

}  // namespace vdz
