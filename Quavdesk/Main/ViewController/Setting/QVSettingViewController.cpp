#include "Main/ViewController/Setting/QVSettingViewController.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "Categories/RVColor.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"
#include "Main/ViewController/Setting/QVSettingLook.h"
#include "Main/ViewController/Setting/QVSettingSwitch.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>

#include "Platform/RemoteInputConsent.h"

QV_REGISTER_PAGE(QVSettingViewController)

using QVSettingLook::localizable;

namespace {

constexpr int CardInsetX = 15;
constexpr int CardInsetY = 6;
constexpr int TextLeft = 16;
constexpr int AccessoryRight = 14;

} // namespace

// ---------------------------------------------------------------------------
// QVSettingListCellView

QVSettingListCellView::QVSettingListCellView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("settingListCellView"));
    setCursor(Qt::PointingHandCursor);
    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_bgView->setBackgroundColor(Qt::white);
    m_bgView->setIsRadius(true);
    m_bgView->setCornerRadius(8.0);
    // Clicks on the card are the row's.
    m_bgView->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_titleLabel = new QLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QVSettingLook::setFont(m_titleLabel, 15, false);
    QVSettingLook::setTextColor(m_titleLabel, QVSettingLook::TitleColor);
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_describeLabel = new QLabel(this);
    m_describeLabel->setObjectName(QStringLiteral("describeLabel"));
    m_describeLabel->setWordWrap(true);
    m_describeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QVSettingLook::setFont(m_describeLabel, 12, false);
    m_describeLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_describeLabel->hide();

    m_nextLabel = new QLabel(QStringLiteral("\u203A"), this);
    m_nextLabel->setObjectName(QStringLiteral("nextLabel"));
    m_nextLabel->setAlignment(Qt::AlignCenter);
    QVSettingLook::setFont(m_nextLabel, 24, false);
    QVSettingLook::setTextColor(m_nextLabel, QVSettingLook::HintColor);
    m_nextLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QVSettingListCellView::setHasSwitch(bool hasSwitch)
{
    if (hasSwitch && !m_switch) {
        m_switch = new QVSettingSwitch(this);
        m_switch->setObjectName(QStringLiteral("accessorySwitch"));
    } else if (!hasSwitch && m_switch) {
        delete m_switch;
        m_switch = nullptr;
    }
    m_nextLabel->setVisible(!m_switch);
    layoutContent();
}

void QVSettingListCellView::setTitle(const QString &title)
{
    m_titleLabel->setText(title);
}

void QVSettingListCellView::setDescribe(const QString &text, const QColor &color)
{
    m_describeLabel->setText(text);
    QVSettingLook::setTextColor(m_describeLabel, color);
    m_describeLabel->setVisible(!text.isEmpty());
    layoutContent();
}

void QVSettingListCellView::resizeEvent(QResizeEvent *)
{
    layoutContent();
}

void QVSettingListCellView::layoutContent()
{
    const QRect card = rect().adjusted(CardInsetX, CardInsetY, -CardInsetX, -CardInsetY);
    m_bgView->setGeometry(card);
    const int accessoryWidth = m_switch ? QVSettingSwitch::Size.width() : 16;
    const int accessoryLeft = card.right() - AccessoryRight - accessoryWidth;
    if (m_switch)
        m_switch->setGeometry(accessoryLeft, card.center().y() - QVSettingSwitch::Size.height() / 2,
                              QVSettingSwitch::Size.width(), QVSettingSwitch::Size.height());
    m_nextLabel->setGeometry(accessoryLeft, card.top(), accessoryWidth, card.height());

    const int textLeft = card.left() + TextLeft;
    const int textWidth = qMax(0, accessoryLeft - 10 - textLeft);
    if (m_describeLabel->isHidden()) {
        m_titleLabel->setGeometry(textLeft, card.top(), textWidth, card.height());
        return;
    }
    // Title and line under it, centred together; a line that wraps keeps
    // all of its lines inside the card.
    constexpr int TitleHeight = 20;
    constexpr int Gap = 2;
    const int describeHeight =
        qMin(m_describeLabel->heightForWidth(textWidth), card.height() - 2 * 4 - TitleHeight - Gap);
    const int blockHeight = TitleHeight + Gap + describeHeight;
    const int top = card.top() + (card.height() - blockHeight) / 2;
    m_titleLabel->setGeometry(textLeft, top, textWidth, TitleHeight);
    m_describeLabel->setGeometry(textLeft, top + TitleHeight + Gap, textWidth, describeHeight);
}

void QVSettingListCellView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void QVSettingListCellView::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

// ---------------------------------------------------------------------------
// QVSettingViewController

QVSettingViewController::QVSettingViewController(QWidget *parent)
    : QVBaseViewController(parent)
{
    setObjectName(ClassName);
    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_appNameLabel = new QLabel(m_bgView);
    m_titleLabel = new QLabel(m_bgView);
    m_tableView = new QWidget(m_bgView);
    m_tableView->setObjectName(QStringLiteral("tableView"));
    m_remoteInputConsent = QVPlatform::services().remoteInputConsent;
    addKVOObserver();
    baseSetting();
    tableViewSetting();
}

QVSettingViewController::~QVSettingViewController() = default;

void QVSettingViewController::addKVOObserver()
{
    QVKVOModel *model = QVShareManager::sharedShareManager()->kvoModel();
    m_observedModel = model;
    // The offer may be written on any thread; the rows change on the page's.
    connect(model, &QVKVOModel::versionInfoModelChanged, this, [this] {
        QMetaObject::invokeMethod(this, &QVSettingViewController::reloadData, Qt::QueuedConnection);
    }, Qt::DirectConnection);
}

void QVSettingViewController::baseSetting()
{
    QVPublicTools::sharedPublicTools()->vcCacheDictionary().insert(ClassName, this);
    QVSettingLook::setUpHeading(m_appNameLabel, m_titleLabel, QT_TRANSLATE_NOOP("Localizable", "setting_title"));
    m_itemArray = {
        localizable(QT_TRANSLATE_NOOP("Localizable", "downLoad_filePath_setting")),
        localizable(QT_TRANSLATE_NOOP("Localizable", "feedBack_title")),
        localizable(QT_TRANSLATE_NOOP("Localizable", "about_title")),
        localizable(QT_TRANSLATE_NOOP("Localizable", "setting_remoteControl_title")),
    };
    const QColor background = rv_colorWithHexString(QStringLiteral("0xF9F9F9"));
    m_bgView->setBackgroundColor(background);
}

void QVSettingViewController::tableViewSetting()
{
    for (int row = 0; row < m_itemArray.size(); ++row) {
        auto *cell = new QVSettingListCellView(m_tableView);
        cell->setTitle(m_itemArray.at(row));
        if (row == RemoteControlRow) {
            cell->setHasSwitch(true);
            connect(cell->accessorySwitch(), &QAbstractButton::toggled, this,
                    &QVSettingViewController::remoteControlSwitchToggled);
        }
        connect(cell, &QVSettingListCellView::clicked, this, [this, row] { tableViewCellClick(row); });
        m_cells.append(cell);
    }
    reloadData();
}

QVSettingSwitch *QVSettingViewController::remoteControlSwitch() const
{
    return m_cells.value(RemoteControlRow) ? m_cells.value(RemoteControlRow)->accessorySwitch() : nullptr;
}


void QVSettingViewController::reloadData()
{
    const bool needUpdate =
        m_observedModel && QVNewVersionInfoModel::checkNeedUpdate(m_observedModel->versionInfoModel());
    if (QVSettingListCellView *about = m_cells.value(AboutRow))
        about->setDescribe(needUpdate ? localizable(QT_TRANSLATE_NOOP("Localizable", "about_newVersion")) : QString(),
                           QVSettingLook::NewVersionColor);
    if (QVSettingListCellView *remote = m_cells.value(RemoteControlRow)) {
        remote->setDescribe(localizable(QT_TRANSLATE_NOOP("Localizable", "setting_remoteControl_describe")),
                            QVSettingLook::HintColor);
        // Without a place to keep the answer the switch cannot promise
        // anything: it stays off and out of reach.
        QVSettingSwitch *toggle = remote->accessorySwitch();
        const QSignalBlocker blocker(toggle);
        toggle->setEnabled(m_remoteInputConsent != nullptr);
        toggle->setChecked(m_remoteInputConsent && m_remoteInputConsent->isGiven());
        toggle->update();
    }
}

void QVSettingViewController::remoteControlSwitchToggled(bool given)
{
    if (!m_remoteInputConsent)
        return;
    m_remoteInputConsent->setGiven(given);
    QVLogInfo(0, QStringLiteral("QVSettingViewController remote control by receivers %1")
                     .arg(given ? QStringLiteral("allowed") : QStringLiteral("refused")));
    // Shows what was kept, should the store have refused the change.
    reloadData();
}

void QVSettingViewController::tableViewCellClick(int row)
{
    QString page;
    switch (row) {
    case DownLoadFilePathRow:
        page = DownLoadFilePathPage;
        break;
    case FeedbackRow:
        page = FeedbackPage;
        break;
    case AboutRow:
        page = AboutPage;
        break;
    case RemoteControlRow:
        if (QVSettingSwitch *toggle = remoteControlSwitch(); toggle && toggle->isEnabled())
            toggle->toggle();
        return;
    default:
        return;
    }
    // Asking the host for a page it cannot make would leave the window blank.
    if (!QVPageRegistry::shared().contains(page)
        && !QVPublicTools::sharedPublicTools()->vcCacheDictionary().contains(page)) {
        QVLogInfo(0, QStringLiteral("QVSettingViewController %1 is not in this program yet; the list stays").arg(page));
        return;
    }
    if (QVSettingRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate())
        host->showSettingNextPageViewWithClassStr(page);
}

void QVSettingViewController::resizeEvent(QResizeEvent *)
{
    m_bgView->setGeometry(rect());
    QVSettingLook::layoutHeading(m_appNameLabel, m_titleLabel, QVSettingLook::HeadingLeft, width());
    m_tableView->setGeometry(0, QVSettingLook::ContentTop, width(),
                             qMax(0, height() - QVSettingLook::ContentTop));
    for (int row = 0; row < m_cells.size(); ++row)
        m_cells.at(row)->setGeometry(0, row * QVSettingListCellView::RowHeight, width(),
                                     QVSettingListCellView::RowHeight);
}

void QVSettingViewController::showEvent(QShowEvent *event)
{
    QVBaseViewController::showEvent(event);
    // The answer may have changed elsewhere (the question before a first cast).
    reloadData();
}
