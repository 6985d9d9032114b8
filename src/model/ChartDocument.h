#pragma once

#include "chart/PatternTable.h"
#include "edit/ChartChange.h"

#include <QObject>
#include <QString>

// The chart being composed: the 80 x 40 chart, the step count and the file it
// was last opened from or saved to by name. It carries out every change of
// the chart and says what changed; the window's views follow its signals (the
// chart page, the end marker, the step-count box, what screen readers are
// told). The commands of the undo history are what change it. It knows
// nothing of widgets.
class ChartDocument : public QObject
{
    Q_OBJECT

public:
    // How a change reaches the chart: made now by an edit, or taken back or
    // done again from the history, where the views go to show it.
    enum class Origin { Edit, History };
    Q_ENUM(Origin)

    // The chart of start-up: every used cell OFF, 80 steps, no file.
    explicit ChartDocument(QObject* parent = nullptr);

    const PatternTable& PatternData() const { return m_chart; }
    qint16 StepCount() const { return m_stepCount; }
    // The file the chart was last opened from or saved to by name, as an
    // absolute path; empty before any.
    const QString& file() const { return m_file; }
    // Whether the chart and the step count are still those of start-up.
    bool isStartUpChart() const;

    // Writes the change's new values and step count, then tells what changed.
    void apply(const ChartChange& change, Origin origin);
    void setFile(const QString& file);

signals:
    // After `change` was carried out: the cells it wrote and, where it sets
    // it, the step count.
    void changed(const ChartChange& change, ChartDocument::Origin origin);
    // After a change gave the chart another step count.
    void stepCountChanged(qint16 stepCount);
    void fileChanged(const QString& file);

private:
    PatternTable m_chart;
    qint16 m_stepCount;
    QString m_file;
};
