#include "ChannelLayout.h"

namespace {

constexpr QRect r(int left, int top, int width, int height) {
    // QRect keeps right/bottom inclusive; build from the size to keep the twips exact.
    return QRect(left, top, width, height);
}

const ChannelLayout kTerminal1 = {
    1,
    {"Frame2", r(90, 135, 12255, 4530)},
    {"Text5", r(90, 450, 465, 330)},
    {"Check3", r(585, 495, 4560, 240)},
    {"Label8", r(5355, 180, 6630, 240)},
    {"Text8", r(5355, 450, 465, 330)},
    {"Command8", r(5895, 473, 2040, 285)},
    {"Text4", r(90, 840, 8655, 390)},
    {"Command11", r(8760, 893, 255, 255)},
    {"Command3", r(9120, 855, 1230, 330)},
    {"Text10", r(120, 1200, 8655, 270)},
    {"Text2", r(90, 1440, 8700, 2490)},
    {"Check5", r(90, 4020, 6045, 240)},
    {"Check9", r(90, 4245, 6045, 240)},
    {"Command4", r(7560, 4020, 1230, 330)},
    {"Frame3", r(9120, 1320, 2805, 2535)},
    "Port1",
    12.0,
    "Combo1",
    {r(915, 240, 735, 315), r(705, 561, 945, 315), r(915, 882, 735, 315), r(915, 1203, 735, 315),
     r(915, 1524, 735, 315), r(915, 1845, 735, 315)},
    {true, true, false, false, false, false},
    {{{"Label1_5", r(375, 270, 435, 255)},
      {"Label1_1", r(270, 585, 375, 225)},
      {"Label1_2", r(315, 904, 510, 270)},
      {"Label1_3", r(315, 1245, 510, 225)},
      {"Label1_4", r(495, 1575, 375, 225)},
      {"Label1_6", r(270, 1890, 600, 225)}}},
    false,
    {"Shape1", r(180, 300, 195, 195)},
    // The RTS and DTR boxes: a whole check mark (14 pixels), clear of the lamps beside them.
    {"Check1", r(1665, 315, 210, 210)},
    {"Check2", r(1665, 603, 210, 210)},
    "Shape2",
    r(1890, 315, 195, 195),
    261,
    "Label3",
    r(2160, 315, 555, 195),
    252,
    {"Label2", r(180, 2205, 2445, 195)},
};

const ChannelLayout kTerminal2 = {
    2,
    {"Frame5", r(90, 5640, 12255, 3930)},
    {"Text3", r(120, 450, 510, 330)},
    {"Check4", r(630, 495, 4380, 240)},
    {"Label9", r(5355, 180, 6630, 240)},
    {"Text9", r(5355, 450, 510, 330)},
    {"Command9", r(5895, 480, 2040, 285)},
    {"Text7", r(90, 855, 8655, 285)},
    {"Command10", r(8760, 870, 255, 255)},
    {"Command6", r(9120, 832, 1230, 330)},
    {nullptr, QRect()},
    {"Text6", r(90, 1215, 8700, 2130)},
    {"Check8", r(90, 3330, 4290, 285)},
    {"Check10", r(90, 3600, 4290, 285)},
    {"Command7", r(7560, 3375, 1230, 330)},
    {"Frame6", r(8955, 1215, 2805, 2535)},
    "Port2",
    8.25,
    "Combo2",
    {r(945, 180, 690, 315), r(630, 495, 1005, 315), r(945, 810, 690, 315), r(945, 1125, 690, 315),
     r(945, 1485, 690, 315), r(945, 1800, 690, 315)},
    {false, false, true, false, false, false},
    {{{"Label5_0", r(405, 225, 465, 240)},
      {"Label5_1", r(225, 540, 330, 195)},
      {"Label5_2", r(360, 810, 465, 240)},
      {"Label5_3", r(450, 1170, 465, 240)},
      {"Label5_4", r(405, 1485, 465, 240)},
      {"Label5_5", r(360, 1800, 555, 240)}}},
    true,
    {"Shape3", r(45, 225, 240, 195)},
    // The RTS and DTR boxes: a whole check mark (14 pixels), clear of the lamps beside them.
    {"Check6", r(1665, 225, 210, 210)},
    {"Check7", r(1665, 495, 210, 240)},
    "Shape4",
    r(1890, 225, 240, 195),
    270,
    "Label6",
    r(2250, 225, 510, 195),
    270,
    {"Label7", r(225, 2205, 2445, 240)},
};

} // namespace

const ChannelLayout& channelLayout(int index) {
    return index == 0 ? kTerminal1 : kTerminal2;
}
