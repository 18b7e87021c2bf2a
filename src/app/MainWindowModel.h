#pragma once

#include "app/OvSection.h"
#include "design/ViewValue.h"
#include "runtime/StoredSetting.h"

#include <QDateTime>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace qv {

// The main window's own state: the selected section, kept in
// "mainWindow.selectedSection" as its raw title, and the moment the window's content was
// created ("Active since"). A stored text that is not one of the raw titles reads as
// Display & Comfort and stays as it is until the user selects a section.
class MainWindowModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Section selectedSection READ selectedSection WRITE select NOTIFY selectedSectionChanged)
    Q_PROPERTY(QString selectedSectionRaw READ selectedSectionRaw NOTIFY selectedSectionChanged)
    Q_PROPERTY(QDateTime appStart READ appStart CONSTANT)
    Q_PROPERTY(QVariantList sidebarSections READ sidebarSections CONSTANT)
    Q_PROPERTY(int minimumWidth READ minimumWidth CONSTANT)
    Q_PROPERTY(int minimumHeight READ minimumHeight CONSTANT)
    // The window's title and the sidebar's product header.
    QV_VIEW_TEXT(productName, "Quellvista")
    QV_VIEW_TEXT(tagline, "for your eyes")
    // The sidebar gear's name for assistive technology.
    QV_VIEW_TEXT(settingsTitle, "Settings")
public:
    // The sections, as QML sees them (same order as OvSection).
    enum Section { DisplayAndComfort, Blink, Breaks, About, Settings };
    Q_ENUM(Section)

    explicit MainWindowModel(QObject *parent = nullptr);

    Section selectedSection() const;
    OvSection section() const;
    QString selectedSectionRaw() const;
    QDateTime appStart() const { return m_appStart; }
    QVariantList sidebarSections() const;
    static int minimumWidth() { return 1100; }
    static int minimumHeight() { return 760; }

    // Writes the section's raw title at once.
    Q_INVOKABLE void select(Section section);
    // The sidebar's gear button: selects Settings.
    Q_INVOKABLE void openSettings();

    static Section toQml(OvSection section) { return Section(int(section)); }
    static OvSection fromQml(Section section) { return OvSection(int(section)); }

signals:
    void selectedSectionChanged();

private:
    StoredSetting m_selectedSectionRaw;
    QDateTime m_appStart;
};

} // namespace qv
