#include "ChartText.h"

const QByteArray OffLine =
    "3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3\r\n";

PatternTable startUpChart()
{
    PatternTable chart;
    chart.fillUsed(ElementCode::number(3));
    return chart;
}

QByteArray elementField(int ordinal)
{
    return ordinal < 10 ? QByteArray::number(ordinal) : '"' + QByteArray(1, char(0x30 + ordinal)) + '"';
}

QByteArray patternFile(std::initializer_list<FileField> fields, const QByteArray& stepCount)
{
    return patternFileOf(
        [&](int step, int channel) {
            for (const FileField& field : fields)
                if (field.step == step && field.channel == channel)
                    return field.text;
            return QByteArray("3");
        },
        stepCount);
}

QByteArray settingsWithCom3(const QString& device)
{
    return "[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=" + device.toLocal8Bit() + "\r\n";
}
