#pragma once

#include <QWidget>

#include <functional>

#include "DeviceInformation.h"

class QLabel;
class QVBackgrounView;
class QVBaseButton;

// One row of the receiver list: a blue card with the receiver's name and
// address and its connect button.
class QVMainListCellView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 60;

    explicit QVMainListCellView(QWidget *parent = nullptr);

    DeviceInformation model() const { return m_model; }
    void setModel(const DeviceInformation &model);

    std::function<void(const DeviceInformation &)> connectionBtnClickBlock() const { return m_connectionBtnClickBlock; }
    void setConnectionBtnClickBlock(std::function<void(const DeviceInformation &)> block)
    {
        m_connectionBtnClickBlock = std::move(block);
    }

    QVBackgrounView *bgView() const { return m_bgView; }
    QLabel *deviceName() const { return m_deviceName; }
    QLabel *deviceIP() const { return m_deviceIP; }
    QVBaseButton *connectBtn() const { return m_connectBtn; }

public Q_SLOTS:
    void connectionBtnClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showName();

    DeviceInformation m_model;
    QVBackgrounView *m_bgView = nullptr;
    QLabel *m_deviceName = nullptr;
    QLabel *m_deviceIP = nullptr;
    QVBaseButton *m_connectBtn = nullptr;
    std::function<void(const DeviceInformation &)> m_connectionBtnClickBlock;
};
