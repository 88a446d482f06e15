#include "messaging/Emoticons.h"

#include <QList>

namespace tavrin::messaging {

namespace {

// Tags as the chat exchanges them; element 29 is our own ":73" (best regards).
constexpr std::array<const char *, kEmoticonCount> kTags = {
    ":)",          ";) ;-)",     ":( :-(",        ":O :-O",      ":?",          ":B) :B-)",
    ":xx",         ":>) :evil",  ":-)",           ":>",          ":=)",         ":*",
    ":0/",         ":r)",        ":-H",           ":-c",         ":8->",        ":pp",
    ":-L",         ":8-x",       ":~O)",          ":echolink :EchoLink", ":Drink drink", ":loo :Loo",
    ":Beer :beer", ":Skull :skull", ":xmas :Xmas", ":world :World", ":monk",     ":73",
    ":ok",         ":gr)",       ":sp)",          ":wx)",        ":hf)",        ":pir)",
    ":bir)",       ":drv)",      ":dv)",          ":alf)",       ":ali)",       ":ang)",
};

constexpr std::array<EmoticonButton, 35> kButtons = {{
    {"Image1", " :) ", 0},         {"Image2", " ;) ", 1},         {"Image3", " :( ", 2},
    {"Image4", " :O ", 3},         {"Image5", " :? ", 4},         {"Image6", " :B) ", 5},
    {"Image7", " :xx ", 6},        {"Image8", " :>) ", 7},        {"Image9", " :-) ", 8},
    {"Image10", " :> ", 9},        {"Image11", " :=) ", 10},      {"Image12", " :* ", 11},
    {"Image13", " :0/ ", 12},      {"Image14", " :r)", 13},       {"Image15", " :-H ", 14},
    {"Image16", " :-c ", 15},      {"Image17", " :8-> ", 16},     {"Image18", " :pp ", 17},
    {"Image19", " :-L ", 18},      {"Image20", " :8-x ", 19},     {"Image21", " :~O) ", 20},
    {"Image22", " :gr) ", 31},     {"Image23", " :ok ", 30},      {"Image24", " :sp) ", 32},
    {"Image25", " :wx) ", 33},     {"Image26", " :hf) ", 34},     {"Image27", " :pir) ", 35},
    {"Image28", " :dv) ", 38},     {"Image29", " :drv) ", 37},    {"Image30", " :alf) ", 39},
    {"Image31", " :ali) ", 40},    {"Image32", " :ang) ", 41},    {"Image33", " :bir) ", 36},
    {"Image34", " :echolink ", 21}, {"Image35", " :drink ", 22},
}};

} // namespace

const QStringList &emoticonCodes(int index)
{
    static const QList<QStringList> codes = [] {
        QList<QStringList> all;
        for (const char *tag : kTags)
            all.append(QString::fromLatin1(tag).split(QLatin1Char(' ')));
        return all;
    }();
    return codes.at(index);
}

const std::array<EmoticonButton, 35> &emoticonButtons() { return kButtons; }

QString emoticonResourceName(int index) { return QStringLiteral("emoticon:%1").arg(index); }

} // namespace tavrin::messaging
