#pragma once

#include <QAbstractButton>

// An on/off switch: a rounded track, blue when on, with a white knob at the
// side of the state.
class QVSettingSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr QSize Size{44, 24};
    static inline const QColor OnColor{0x67, 0x98, 0xFC};
    static inline const QColor OffColor{0xCC, 0xCC, 0xCC};

    explicit QVSettingSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override { return Size; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    // The ring shows where the keyboard is; a window that merely opened
    // with the switch first in line draws none.
    bool m_keyboardFocus = false;
};
