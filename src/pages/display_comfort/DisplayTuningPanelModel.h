#pragma once

#include "pages/display_comfort/FrameCoalescer.h"
#include "pages/display_comfort/TuningRows.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace qv {

class ComfortVeilController;
class DisplayTuning;
class DisplayTuningPanelModel;

// One slider row of the tuning panel: what it shows for the current value, and the
// slider's moves and drags, which the panel passes on to the models.
class TuningRowModel : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString symbol READ symbol CONSTANT)
    Q_PROPERTY(double from READ from CONSTANT)
    Q_PROPERTY(double to READ to CONSTANT)
    // What one press of an arrow key moves the slider by.
    Q_PROPERTY(double keyStep READ keyStep CONSTANT)
    Q_PROPERTY(bool veil READ veil CONSTANT)
    // The veil rows' titles may shrink to this share of their size to fit one line.
    Q_PROPERTY(double minimumTitleScale READ minimumTitleScale CONSTANT)
    Q_PROPERTY(double value READ value NOTIFY changed)
    Q_PROPERTY(QString valueText READ valueText NOTIFY changed)
    Q_PROPERTY(QColor accent READ accent NOTIFY changed)
    Q_PROPERTY(QColor symbolColor READ symbolColor NOTIFY changed)
    Q_PROPERTY(QColor valueColor READ valueColor NOTIFY changed)
public:
    TuningRowModel(TuningRow row, DisplayTuningPanelModel *panel);

    TuningRow row() const { return m_row; }
    QString title() const { return m_info.title; }
    QString symbol() const { return m_info.symbol; }
    double from() const { return m_info.from; }
    double to() const { return m_info.to; }
    double keyStep() const { return tuningKeyStep(m_row); }
    bool veil() const { return m_info.veil; }
    double minimumTitleScale() const { return m_info.veil ? 0.84 : 1.0; }
    // The model's value, within the row's range.
    double value() const;
    QString valueText() const;
    QColor accent() const;
    QColor symbolColor() const;
    QColor valueColor() const;

    // The slider moved to a value; pressed tells whether the user is dragging it.
    Q_INVOKABLE void move(double value);
    Q_INVOKABLE void setDragging(bool dragging);

    // Writes a value into the models, in the order the row's kind asks for.
    void write(double value);

signals:
    void changed();

private:
    TuningRow m_row;
    TuningRowInfo m_info;
    DisplayTuningPanelModel *m_panel;
    FrameCoalescer m_coalescer;
};

// The tuning panel: the target picker, the eight slider rows and the red-mode block, all
// read from the shared display tuning and comfort veil and written back to them.
class DisplayTuningPanelModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    Q_PROPERTY(QString headerSymbol READ headerSymbol CONSTANT)
    Q_PROPERTY(QString formulaNote READ formulaNote NOTIFY formulaNoteChanged)
    Q_PROPERTY(QString appliesToText READ appliesToText CONSTANT)
    Q_PROPERTY(QString pickerLabel READ pickerLabel CONSTANT)
    Q_PROPERTY(QString pickerHint READ pickerHint CONSTANT)
    Q_PROPERTY(QList<QObject *> rows READ rows CONSTANT)
    Q_PROPERTY(QVariantList targets READ targets NOTIFY targetsChanged)
    Q_PROPERTY(QString selectedTargetId READ selectedTargetId NOTIFY targetsChanged)
    Q_PROPERTY(QString selectedTargetName READ selectedTargetName NOTIFY targetsChanged)
    Q_PROPERTY(QString selectedTargetSymbol READ selectedTargetSymbol NOTIFY targetsChanged)
    Q_PROPERTY(QString pickerSymbol READ pickerSymbol NOTIFY targetsChanged)
    Q_PROPERTY(QString scopeText READ scopeText NOTIFY targetsChanged)
    Q_PROPERTY(QString redTitle READ redTitle CONSTANT)
    Q_PROPERTY(double redSliderValue READ redSliderValue NOTIFY redChanged)
    Q_PROPERTY(QString redValueText READ redValueText NOTIFY redChanged)
    Q_PROPERTY(QColor redValueColor READ redValueColor NOTIFY redChanged)
    Q_PROPERTY(QString redAccessibleValue READ redAccessibleValue NOTIFY redChanged)
    Q_PROPERTY(QColor redAccent READ redAccent NOTIFY redChanged)
public:
    // Made by QML: over the shared tuning and veil.
    explicit DisplayTuningPanelModel(QObject *parent = nullptr);
    DisplayTuningPanelModel(DisplayTuning &tuning, ComfortVeilController &veil, QObject *parent = nullptr);
    ~DisplayTuningPanelModel() override;

    DisplayTuning &tuning() const { return *m_tuning; }
    ComfortVeilController &veil() const { return *m_veil; }
    const TuningPalette &palette() const { return m_palette; }

    static QString title() { return QStringLiteral("Display tuning"); }
    static QString subtitle()
    {
        return QStringLiteral("Per-display software dimming, warmth, soft whites, and contrast shaping");
    }
    static QString headerSymbol() { return QStringLiteral("slider.horizontal.3"); }
    // Said where the desktop gives no way to set the displays' transfer formulas, or where
    // they are held back now (and why); empty where they are applied.
    static QString formulaNote();
    static QString appliesToText() { return QStringLiteral("Applies to"); }
    static QString pickerLabel() { return QStringLiteral("Display tuning target"); }
    static QString pickerHint()
    {
        return QStringLiteral(
            "Choose whether the display tuning sliders affect every display or one selected display.");
    }
    static QString redTitle() { return QStringLiteral("Red Mode"); }

    QList<QObject *> rows() const { return {m_rows.begin(), m_rows.end()}; }
    TuningRowModel *row(TuningRow row) const { return m_rows.at(int(row)); }

    // The picker's entries as menu entries: {action: id, text: name, symbol: iconName},
    // every display first.
    QVariantList targets() const;
    QString selectedTargetId() const;
    QString selectedTargetName() const;
    // The symbol of the entry the picker shows as chosen ("rectangle.stack" when none matches).
    QString selectedTargetSymbol() const;
    QString pickerSymbol() const;
    QString scopeText() const;
    Q_INVOKABLE void selectTarget(const QString &id);
    // Reads the display list again (the picker is about to open).
    Q_INVOKABLE void refreshTargets();

    double redSliderValue() const;
    QString redValueText() const;
    QColor redValueColor() const;
    QString redAccessibleValue() const;
    QColor redAccent() const { return m_palette.terracotta; }
    Q_INVOKABLE void moveRed(double value);
    Q_INVOKABLE void setRedDragging(bool dragging);

signals:
    void targetsChanged();
    void redChanged();
    // The formulas were applied (or refused) anew: the note may say something else.
    void formulaNoteChanged();

private:
    void appearanceChanged();
    void rowsChanged();
    RedModeLook redLook() const;

    DisplayTuning *m_tuning;
    ComfortVeilController *m_veil;
    TuningPalette m_palette;
    QList<TuningRowModel *> m_rows;
    FrameCoalescer m_redCoalescer;
};

} // namespace qv
