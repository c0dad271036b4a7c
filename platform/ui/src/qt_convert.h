// Conversions between the runtime's values and Qt's. Private to the forms runtime.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <string>

#include "ui/forms.h"
#include "ui/surface.h"

namespace ui {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string S(const QString& text) {
    return text.toStdString();
}

// 0x00BBGGRR to Qt and back.
inline QColor ToQColor(Colour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

inline Colour FromQColor(QColor colour) {
    return static_cast<Colour>(colour.red()) | (static_cast<Colour>(colour.green()) << 8) |
           (static_cast<Colour>(colour.blue()) << 16);
}

inline int Pixels(int twips) {
    return twips / kTwipsPerPixel;
}

inline int Twips(int pixels) {
    return pixels * kTwipsPerPixel;
}

// "&File" keeps its access key in Qt's form.
inline QString QCaption(const std::string& caption) {
    return Q(caption);
}

struct Picture::Impl {
    QImage image;
};

}  // namespace ui
