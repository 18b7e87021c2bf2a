#include "app/MainWindowModel.h"

#include "runtime/Scheduler.h"

namespace qv {

MainWindowModel::MainWindowModel(QObject *parent)
    : QObject(parent),
      m_selectedSectionRaw(settings::selectedSection),
      m_appStart(scheduler().now())
{
    connect(&m_selectedSectionRaw, &StoredSetting::valueChanged, this, &MainWindowModel::selectedSectionChanged);
}

QString MainWindowModel::selectedSectionRaw() const
{
    return m_selectedSectionRaw.value().toString();
}

OvSection MainWindowModel::section() const
{
    return ovSectionFromRawValue(selectedSectionRaw()).value_or(OvSection::displayAndComfort);
}

MainWindowModel::Section MainWindowModel::selectedSection() const
{
    return toQml(section());
}

QVariantList MainWindowModel::sidebarSections() const
{
    QVariantList list;
    for (OvSection s : ovSectionAllCases())
        list << int(toQml(s));
    return list;
}

void MainWindowModel::select(Section section)
{
    if (section < DisplayAndComfort || section > Settings)
        return;
    m_selectedSectionRaw.setValue(ovSectionRawValue(fromQml(section)));
}

void MainWindowModel::openSettings()
{
    select(Settings);
}

} // namespace qv
