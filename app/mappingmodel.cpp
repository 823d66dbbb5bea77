#include "app/mappingmodel.h"

#include "action/actioncaption.h"
#include "device/ctablet.h"
#include "device/tablettable.h"
#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "platform/display/displaybackend.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>

namespace {

// Profile fields are 16-bit; desktop coordinates and hundredths of an inch fit easily,
// the clamp only keeps a wild value from wrapping around.
int16_t Fit16(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

QRect ToQRect(const ScreenRect &r)
{
    return QRect(r.left, r.top, r.width, r.height);
}

bool Inside(const QRect &area, const ScreenRect &desktop)
{
    return area.width() > 0 && area.height() > 0 && area.left() >= desktop.left && area.top() >= desktop.top
           && area.left() + area.width() <= desktop.right() && area.top() + area.height() <= desktop.bottom();
}

} // namespace

MappingModel::MappingModel(DisplayBackend *display, TextLookup texts, QObject *parent)
    : QObject(parent)
    , m_pDisplay(display)
    , m_Texts(std::move(texts))
{
    qRegisterMetaType<AreaRanges>("AreaRanges");
    if (m_pDisplay)
        connect(m_pDisplay, &DisplayBackend::displayChanged, this, &MappingModel::OnDisplayChanged);
}

MappingModel::~MappingModel()
{
    EndAreaCapture();
}

::TabletXMLData *MappingModel::Profile() const
{
    return m_pTablet ? m_pTablet->TabletXMLData.get() : nullptr;
}

void MappingModel::SetTablet(CTablet *tablet)
{
    if (m_pTablet != tablet)
        EndAreaCapture();
    m_pTablet = tablet;
    LoadFromProfile();
}

void MappingModel::LoadFromProfile()
{
    const ::TabletXMLData *p = Profile();
    const ScreenTableData &table = ScreenTable::Current();
    if (!p) {
        m_nSelectedScreen = 0;
        m_ScreenValues = QRect();
        m_TabletValues = QRect();
        m_ScreenRanges = AreaRanges();
        m_TabletRanges = AreaRanges();
    } else {
        m_nSelectedScreen = (p->ScreenId >= 0 && p->ScreenId <= table.count) ? p->ScreenId : 0;
        SetScreenRangesFor(table.Slot(m_nSelectedScreen));
        m_ScreenValues = QRect(p->SX, p->SY, p->SW, p->SH);
        SetTabletRangesFor(FullTabletRect());
        m_TabletValues = QRect(p->TX, p->TY, p->TW, p->TH);
    }
    emit ScreenListChanged(m_ScreenTexts, m_nSelectedScreen);
    EmitScreen();
    EmitTablet();
    emit OrientationChanged(Orientation(), TabletPicture());
    emit PreviewChanged();
}

QRect MappingModel::FullTabletRect() const
{
    if (!m_pTablet)
        return QRect();
    const DeviceAttributes a = m_pTablet->CopyAttributes();
    const int o = Orientation();
    if (o == 1 || o == 3)
        return QRect(0, 0, a.HeightInch100, a.WidthInch100);
    return QRect(0, 0, a.WidthInch100, a.HeightInch100);
}

int MappingModel::Orientation() const
{
    const ::TabletXMLData *p = Profile();
    return p ? p->Orientation : 0;
}

QString MappingModel::TabletPicture() const
{
    if (!m_pTablet)
        return QString();
    const DeviceAttributes a = m_pTablet->CopyAttributes();
    return QStringLiteral(":/image/tablet/%1_K%2.png").arg(QString::fromLatin1(a.ModelKey)).arg(Orientation());
}

ScreenRect MappingModel::SelectedScreenRect() const
{
    return ScreenTable::Current().Slot(m_nSelectedScreen);
}

ScreenRect MappingModel::MappedScreen() const
{
    const ::TabletXMLData *p = Profile();
    return ScreenTable::Current().Slot(p ? p->ScreenId : 0);
}

bool MappingModel::ScreenTableRect(int screenIndex, QRect *rect)
{
    const ScreenTableData &table = ScreenTable::Current();
    if (table.count == 0)
        return false;
    *rect = ToQRect(table.Slot(screenIndex));
    return true;
}

void MappingModel::SetScreenRangesFor(const ScreenRect &r)
{
    m_ScreenRanges.xMin = r.left;
    m_ScreenRanges.xMax = r.left + r.width;
    m_ScreenRanges.wMin = 1;
    m_ScreenRanges.wMax = std::max(1, r.width);
    m_ScreenRanges.yMin = r.top;
    m_ScreenRanges.yMax = r.top + r.height;
    m_ScreenRanges.hMin = 1;
    m_ScreenRanges.hMax = std::max(1, r.height);
}

void MappingModel::SetTabletRangesFor(const QRect &full)
{
    m_TabletRanges.xMin = 0;
    m_TabletRanges.xMax = full.width();
    m_TabletRanges.wMin = 1;
    m_TabletRanges.wMax = std::max(1, full.width());
    m_TabletRanges.yMin = 0;
    m_TabletRanges.yMax = full.height();
    m_TabletRanges.hMin = 1;
    m_TabletRanges.hMax = std::max(1, full.height());
}

void MappingModel::EmitScreen()
{
    emit ScreenAreaChanged(m_ScreenValues, m_ScreenRanges);
}

void MappingModel::EmitTablet()
{
    emit TabletAreaChanged(m_TabletValues, m_TabletRanges);
}

void MappingModel::StoreScreenArea(const QRect &area, int screenId)
{
    if (!Profile())
        return;
    m_pTablet->EditProfile([&](::TabletXMLData &p) {
        if (screenId >= 0)
            p.ScreenId = Fit16(screenId);
        p.SX = Fit16(area.x());
        p.SY = Fit16(area.y());
        p.SW = Fit16(area.width());
        p.SH = Fit16(area.height());
    });
}

void MappingModel::StoreTabletArea(const QRect &area)
{
    if (!Profile())
        return;
    m_pTablet->EditProfile([&](::TabletXMLData &p) {
        p.TX = Fit16(area.x());
        p.TY = Fit16(area.y());
        p.TW = Fit16(area.width());
        p.TH = Fit16(area.height());
    });
}

void MappingModel::EnumDisplay()
{
    std::vector<ScreenRect> rects;
    std::vector<DisplayScreen> physical;
    if (m_pDisplay)
        physical = m_pDisplay->physicalScreens();
    for (const DisplayScreen &s : physical) {
        // A monitor that is switched off but still listed has no mode: not a screen.
        if (s.geometry.width() <= 0 || s.geometry.height() <= 0)
            continue;
        rects.push_back(ScreenRect{s.geometry.x(), s.geometry.y(), s.geometry.width(), s.geometry.height()});
    }
    const size_t kept = static_cast<size_t>(kScreenSlots - 1);
    if (rects.size() > kept) {
        qWarning() << "EnumDisplay: more than" << kept << "screens, the others are not offered:" << rects.size();
        // The table keeps the first nine; the primary screen must be among them, or
        // the repair of a mapping that no longer fits has no primary to fall back on.
        const auto primary = std::find_if(rects.begin() + static_cast<std::ptrdiff_t>(kept), rects.end(),
                                          [](const ScreenRect &r) { return r.left == 0 && r.top == 0; });
        if (primary != rects.end())
            std::swap(rects[kept - 1], *primary);
    }
    const ScreenTableData table = ScreenTable::Build(rects);
    ScreenTable::Publish(table);

    qInfo() << "Function  EnumDisplay nScreenCount:" << table.count;
    const QString all = m_Texts ? m_Texts(QStringLiteral("Device.AllScreen"), QStringLiteral("All Screens"))
                                : QStringLiteral("All Screens");
    const QString screen = m_Texts ? m_Texts(QStringLiteral("Device.Screen"), QStringLiteral("Screen"))
                                   : QStringLiteral("Screen");
    m_ScreenTexts.clear();
    const ScreenRect &desk = table.Desktop();
    m_ScreenTexts << QStringLiteral("%1(%2,%3,%4,%5)").arg(all).arg(desk.left).arg(desk.top).arg(desk.width).arg(desk.height);
    for (int k = 1; k <= table.count; ++k) {
        const ScreenRect &r = table.Slot(k);
        const QString pattern = k == table.primary ? QStringLiteral("%1%2(%3,%4,%5,%6)Primary")
                                                   : QStringLiteral("%1%2(%3,%4,%5,%6)");
        m_ScreenTexts << pattern.arg(screen).arg(k).arg(r.left).arg(r.top).arg(r.width).arg(r.height);
    }

    // The logical copy: the toolkit's screens 0..n-1, sorted the same way. The toolkit
    // may list fewer screens (monitors set up on one output are one toolkit screen).
    std::vector<ScreenRect> logicalRects;
    if (m_pDisplay) {
        const std::vector<DisplayScreen> logical = m_pDisplay->logicalScreens();
        for (size_t i = 0; i < logical.size() && static_cast<int>(i) < table.count; ++i) {
            const QRect &g = logical[i].geometry;
            logicalRects.push_back(ScreenRect{g.x(), g.y(), g.width(), g.height()});
        }
    }
    ScreenTable::PublishLogical(ScreenTable::Build(logicalRects));

    if (CWintabMap *map = DriverLink::WintabMap())
        map->SetRect(desk.left, desk.top, desk.right(), desk.bottom());

    if (m_nSelectedScreen > table.count)
        m_nSelectedScreen = 0;
    emit ScreenListChanged(m_ScreenTexts, m_nSelectedScreen);
    emit PreviewChanged();
}

void MappingModel::ScreenSelected(int index)
{
    const ScreenTableData &table = ScreenTable::Current();
    if (index < 0 || index > table.count)
        return;
    const ScreenRect &r = table.Slot(index);
    m_nSelectedScreen = index;
    SetScreenRangesFor(r);
    m_ScreenValues = ToQRect(r);
    StoreScreenArea(m_ScreenValues, index);
    EmitScreen();
    emit PreviewChanged();
    emit UsageEvent(QStringLiteral("ScreenSelected"));
}

void MappingModel::FullScreenClicked()
{
    const ScreenRect r = SelectedScreenRect();
    SetScreenRangesFor(r);
    m_ScreenValues = ToQRect(r);
    EmitScreen();
    StoreScreenArea(m_ScreenValues);
    emit PreviewChanged();
    emit UsageEvent(QStringLiteral("FullScreenClicked"));
}

void MappingModel::FullTabletClicked()
{
    const QRect full = FullTabletRect();
    if (full.isEmpty())
        return;
    SetTabletRangesFor(full);
    m_TabletValues = full;
    EmitTablet();
    StoreTabletArea(m_TabletValues);
    emit PreviewChanged();
    emit UsageEvent(QStringLiteral("FullTabletClicked"));
}

void MappingModel::TabletScreenScalClicked()
{
    const ScreenRect r = SelectedScreenRect();
    const QRect T = FullTabletRect();
    // An empty screen or tablet has no proportions to keep.
    if (r.width <= 0 || r.height <= 0 || T.width() <= 0 || T.height() <= 0)
        return;
    // Single precision throughout, products and quotients truncated toward zero.
    const float s = static_cast<float>(r.width) / static_cast<float>(r.height);
    const float t = static_cast<float>(T.width()) / static_cast<float>(T.height());
    int x = 0, y = 0, w = 0, h = 0;
    if (t > s) {
        h = T.height();
        w = static_cast<int>(static_cast<float>(T.height()) * s);
        x = (T.width() - w) / 2;
        y = 0;
    } else {
        w = T.width();
        h = static_cast<int>(static_cast<float>(T.width()) / s);
        x = 0;
        y = (T.height() - h) / 2;
    }
    m_TabletValues = QRect(x, y, w, h);
    EmitTablet();
    if (w > 0 && h > 0)
        StoreTabletArea(m_TabletValues);
    emit PreviewChanged();
    emit UsageEvent(QStringLiteral("TabletScreenScalClicked"));
}

int MappingModel::TouchRingMode() const
{
    if (!m_pTablet)
        return 0;
    const CTablet &tablet = *m_pTablet;
    return tablet.EditProfile([&](const ::TabletXMLData &p) -> int {
        if (!m_strCurrentApp.isEmpty()) {
            const auto it = tablet.apps.find(m_strCurrentApp);
            if (it != tablet.apps.end() && it->second)
                return it->second->TRMode;
        }
        return p.CommonAPP.TRMode;
    });
}

void MappingModel::RotationButtonClicked(int step)
{
    ::TabletXMLData *p = Profile();
    if (!p || step < 0 || step > 3)
        return;
    const DeviceAttributes a = m_pTablet->CopyAttributes();
    const bool turned = step == 1 || step == 3;
    const QRect T(0, 0, turned ? a.HeightInch100 : a.WidthInch100, turned ? a.WidthInch100 : a.HeightInch100);
    m_pTablet->EditProfile([&](::TabletXMLData &profile) {
        profile.Orientation = static_cast<int16_t>(step);
        profile.TX = 0;
        profile.TY = 0;
        profile.TW = Fit16(T.width());
        profile.TH = Fit16(T.height());
    });
    SetTabletRangesFor(T);
    m_TabletValues = T;
    EmitTablet();
    emit OrientationChanged(step, TabletPicture());
    emit PreviewChanged();
    // A touch ring reports its positions in the tablet's own frame; the tablet turns
    // them when told the orientation.
    if (TouchRingMode() != 0)
        m_pTablet->SentCmd(CmdSetLight2, 1, step);
    emit UsageEvent(QStringLiteral("RotationButtonClicked"));
}

// The eight spin boxes follow one rule. A position is held inside its range and, when
// the area would then reach past the screen or the tablet, the size gives way (down to
// its minimum); a size is held inside its range and the position gives way.
namespace {

struct SpinRow {
    bool tablet;   // the tablet area, else the screen area
    bool vertical; // y / height, else x / width
    bool size;     // width / height, else x / y
    const char *usage;
};

constexpr SpinRow kSpinRows[] = {
    {false, false, false, "SXChanged"}, {false, true, false, "SYChanged"}, {false, false, true, "SWChanged"},
    {false, true, true, "SHChanged"},   {true, false, false, "TXChanged"},  {true, true, false, "TYChanged"},
    {true, false, true, "TWChanged"},   {true, true, true, "THChanged"},
};

} // namespace

void MappingModel::SpinChanged(AreaSpin spin, int value)
{
    const SpinRow &row = kSpinRows[int(spin)];
    const AreaRanges &ranges = row.tablet ? m_TabletRanges : m_ScreenRanges;
    QRect &values = row.tablet ? m_TabletValues : m_ScreenValues;
    // The span the area must stay in: the mapped screen, or the whole tablet from 0.
    int origin = 0;
    int extent = 0;
    if (row.tablet) {
        const QRect T = FullTabletRect();
        extent = row.vertical ? T.height() : T.width();
    } else {
        const ScreenRect S = MappedScreen();
        origin = row.vertical ? S.top : S.left;
        extent = row.vertical ? S.height : S.width;
    }
    const int posMin = row.vertical ? ranges.yMin : ranges.xMin;
    const int posMax = row.vertical ? ranges.yMax : ranges.xMax;
    const int lenMin = row.vertical ? ranges.hMin : ranges.wMin;
    const int lenMax = row.vertical ? ranges.hMax : ranges.wMax;
    int pos = row.vertical ? values.y() : values.x();
    int len = row.vertical ? values.height() : values.width();
    if (row.size) {
        len = std::clamp(value, lenMin, lenMax);
        if ((pos - origin) + len > extent)
            pos = origin + extent - len;
    } else {
        pos = std::clamp(value, posMin, posMax);
        if ((pos - origin) + len > extent)
            len = std::max(lenMin, extent - (pos - origin));
    }
    values = row.vertical ? QRect(values.x(), pos, values.width(), len) : QRect(pos, values.y(), len, values.height());
    if (row.tablet) {
        StoreTabletArea(m_TabletValues);
        EmitTablet();
    } else {
        StoreScreenArea(m_ScreenValues);
        EmitScreen();
    }
    emit PreviewChanged();
    emit UsageEvent(QString::fromLatin1(row.usage));
}

void MappingModel::SXChanged(int value) { SpinChanged(AreaSpin::SX, value); }
void MappingModel::SYChanged(int value) { SpinChanged(AreaSpin::SY, value); }
void MappingModel::SWChanged(int value) { SpinChanged(AreaSpin::SW, value); }
void MappingModel::SHChanged(int value) { SpinChanged(AreaSpin::SH, value); }
void MappingModel::TXChanged(int value) { SpinChanged(AreaSpin::TX, value); }
void MappingModel::TYChanged(int value) { SpinChanged(AreaSpin::TY, value); }
void MappingModel::TWChanged(int value) { SpinChanged(AreaSpin::TW, value); }
void MappingModel::THChanged(int value) { SpinChanged(AreaSpin::TH, value); }

void MappingModel::on_ScreenRubberRectChange(QRect band, QRect preview)
{
    // A preview that has not been laid out yet has no size to scale by.
    if (!Profile() || preview.width() <= 0 || preview.height() <= 0)
        return;
    const ScreenRect S = MappedScreen();
    // Integer arithmetic, multiply before divide, as the preview's pixels are coarse.
    const int64_t pw = preview.width();
    const int64_t ph = preview.height();
    const int sx = static_cast<int>(int64_t(S.width) * band.left() / pw + S.left);
    const int sy = static_cast<int>(int64_t(S.height) * band.top() / ph + S.top);
    const int sw = static_cast<int>(int64_t(S.width) * band.width() / pw);
    const int sh = static_cast<int>(int64_t(S.height) * band.height() / ph);
    m_ScreenValues = QRect(sx, sy, sw, sh);
    StoreScreenArea(m_ScreenValues);
    EmitScreen();
    emit UsageEvent(QStringLiteral("ScreenRubberRectChange"));
}

void MappingModel::on_TabletRubberRectChange(QRect band, QRect preview)
{
    if (!Profile() || preview.width() <= 0 || preview.height() <= 0)
        return;
    const QRect T = FullTabletRect();
    const int64_t pw = preview.width();
    const int64_t ph = preview.height();
    const int tx = static_cast<int>(int64_t(T.width()) * band.left() / pw);
    const int ty = static_cast<int>(int64_t(T.height()) * band.top() / ph);
    const int tw = std::max(1, static_cast<int>(int64_t(T.width()) * band.width() / pw));
    const int th = std::max(1, static_cast<int>(int64_t(T.height()) * band.height() / ph));
    m_TabletValues = QRect(tx, ty, tw, th);
    StoreTabletArea(m_TabletValues);
    EmitTablet();
    emit UsageEvent(QStringLiteral("TabletRubberRectChange"));
}

void MappingModel::SetPenDisplayMonitor(int screenSlot, int savedOrientation)
{
    m_nPenDisplaySlot = screenSlot;
    m_nPenDisplayOrientation = std::clamp(savedOrientation, 0, 3);
}

int MappingModel::OwnMonitorOf(const CTablet &tablet) const
{
    constexpr int16_t kPenDisplay = 2;
    if (m_nPenDisplaySlot < 1 || m_nPenDisplaySlot > ScreenTable::Current().count)
        return -1;
    return tablet.CopyAttributes().DeviceKind == kPenDisplay ? m_nPenDisplaySlot : -1;
}

void MappingModel::onResetWorkAreaDefaultSetting(bool resetRotation)
{
    EnumDisplay();
    const int own = m_pTablet ? OwnMonitorOf(*m_pTablet) : -1;
    if (own > 0) {
        ScreenSelected(own);
        emit ScreenListChanged(m_ScreenTexts, own);
        FullScreenClicked();
        if (Orientation() != m_nPenDisplayOrientation)
            RotationButtonClicked(m_nPenDisplayOrientation);
        FullTabletClicked();
        emit UsageEvent(QStringLiteral("ResetWorkAreaDefaultSetting"));
        return;
    }
    // The whole desktop, all of it.
    m_nSelectedScreen = 0;
    const ScreenRect desk = ScreenTable::Current().Desktop();
    SetScreenRangesFor(desk);
    m_ScreenValues = ToQRect(desk);
    StoreScreenArea(m_ScreenValues, 0);
    emit ScreenListChanged(m_ScreenTexts, 0);
    EmitScreen();
    if (resetRotation && Profile())
        RotationButtonClicked(0);
    emit PreviewChanged();
    emit UsageEvent(QStringLiteral("ResetWorkAreaDefaultSetting"));
}

void MappingModel::OnDisplayChanged()
{
    EnumDisplay();
    for (int slot = 0; slot < TabletTable::kSlotCount; ++slot) {
        if (CTablet *tablet = TabletTable::At(slot))
            RepairTablet(*tablet);
    }
    // The current tablet may not be in the table (a test, or one that is leaving).
    if (m_pTablet && TabletTable::At(m_pTablet->tabletIndex) != m_pTablet)
        RepairTablet(*m_pTablet);
    LoadFromProfile();
}

// The tablet's cached mapping (screenIndex, SX..SH: what its profile held when loaded or
// saved) is the user's choice; the profile gets it back whenever it fits the desktop
// again, so a monitor that is unplugged and plugged in again keeps its mapping.
void MappingModel::RepairTablet(CTablet &tablet)
{
    const ScreenTableData &table = ScreenTable::Current();
    int id = 0;
    QRect area;
    const int own = OwnMonitorOf(tablet);
    if ((tablet.SW == 0 && tablet.SH == 0) || tablet.mappingChanged.load()) {
        id = own > 0 ? own : 0;
        area = ToQRect(table.Slot(id));
    } else {
        id = tablet.screenIndex;
        area = QRect(tablet.SX, tablet.SY, tablet.SW, tablet.SH);
        if (!Inside(area, table.Desktop()) || id > table.count || id < 0) {
            if (own > 0)
                id = own;
            else if (id > 0)
                id = table.primary;
            else
                id = 0;
            area = ToQRect(table.Slot(id));
        }
    }
    tablet.EditProfile([&](::TabletXMLData &p) {
        p.ScreenId = Fit16(id);
        p.SX = Fit16(area.x());
        p.SY = Fit16(area.y());
        p.SW = Fit16(area.width());
        p.SH = Fit16(area.height());
    });
}

void MappingModel::SelectWorkAreaClicked()
{
    if (!m_pTablet)
        return;
    EndAreaCapture();
    ActionCaption::MyLrc()->ShowLanguageCaption(QStringLiteral("Device.TabeltHelpInfo1"), QStringLiteral("Touch one corner of the area with the pen tip."));
    m_pCapturing = m_pTablet;
    // Emitted on the reading thread: queued to this (GUI) thread.
    connect(m_pTablet, &CTablet::SetAreaOk, this, &MappingModel::onSetAreaOk, Qt::QueuedConnection);
    m_pTablet->SetAreaCapture(true);
    emit UsageEvent(QStringLiteral("SelectWorkAreaClicked"));
}

void MappingModel::EndAreaCapture()
{
    if (!m_pCapturing)
        return;
    disconnect(m_pCapturing, &CTablet::SetAreaOk, this, &MappingModel::onSetAreaOk);
    m_pCapturing->SetAreaCapture(false);
    m_pCapturing = nullptr;
}

// The tablet emits the marked area without storing it; it is stored here, so the
// profile (and the pen path) has the area the spin boxes show.
void MappingModel::onSetAreaOk(short x, short y, short w, short h)
{
    if (m_pCapturing) {
        disconnect(m_pCapturing, &CTablet::SetAreaOk, this, &MappingModel::onSetAreaOk);
        m_pCapturing = nullptr;
    }
    const QRect T = FullTabletRect();
    // An unknown orientation gives an empty area: nothing to map onto.
    if (!Profile() || w <= 0 || h <= 0 || T.isEmpty())
        return;
    // Two corners on the tablet's edge can reach one unit past it; keep inside.
    const int tx = std::clamp<int>(x, 0, T.width() - 1);
    const int ty = std::clamp<int>(y, 0, T.height() - 1);
    const int tw = std::min<int>(w, T.width() - tx);
    const int th = std::min<int>(h, T.height() - ty);
    m_TabletValues = QRect(tx, ty, tw, th);
    StoreTabletArea(m_TabletValues);
    EmitTablet();
    emit PreviewChanged();
    emit UsageEvent(QStringLiteral("SetAreaOk"));
}

void MappingModel::OnScreenAreaSelectFinish(QRect area)
{
    // The shared block logged the message and posts its usage record.
    // A selection that was cancelled leaves no area; a zero width would stop the pen.
    if (!Profile() || area.width() <= 0 || area.height() <= 0) {
        qWarning() << "Screen area selection without an area: mapping kept";
        return;
    }
    m_ScreenValues = area;
    EmitScreen();
    StoreScreenArea(m_ScreenValues);
    emit PreviewChanged();
}

void MappingModel::OnScreenCalibrationFinish(float fKX, float fKY, float fXLC, float fYLC)
{
    // The shared block logged the message and posts its usage record.
    ::TabletXMLData *p = Profile();
    // The pen path divides by the scales: a zero or non-finite result would send every
    // sample of a pen display to infinity.
    if (!p || !std::isfinite(fKX) || !std::isfinite(fKY) || !std::isfinite(fXLC) || !std::isfinite(fYLC)
        || fKX == 0.0f || fKY == 0.0f) {
        qWarning() << "Calibration result not usable: calibration kept";
        return;
    }
    m_pTablet->EditProfile([&](::TabletXMLData &profile) {
        profile.fKX = fKX;
        profile.fKY = fKY;
        profile.fXLC = fXLC;
        profile.fYLC = fYLC;
    });
}
