#include "model/ChartDocument.h"

namespace {

PatternTable startUpChart()
{
    PatternTable chart;
    chart.fillUsed(ElementCode::number(3));
    return chart;
}

constexpr qint16 StartUpStepCount = 80;

} // namespace

ChartDocument::ChartDocument(QObject* parent)
    : QObject(parent), m_chart(startUpChart()), m_stepCount(StartUpStepCount)
{
}

bool ChartDocument::isStartUpChart() const
{
    return m_stepCount == StartUpStepCount && m_chart == startUpChart();
}

void ChartDocument::apply(const ChartChange& change, Origin origin)
{
    const qint16 stepCountBefore = m_stepCount;
    change.applyTo(m_chart, m_stepCount);
    emit changed(change, origin);
    if (m_stepCount != stepCountBefore)
        emit stepCountChanged(m_stepCount);
}

void ChartDocument::setFile(const QString& file)
{
    if (file == m_file)
        return;
    m_file = file;
    emit fileChanged(m_file);
}
