#include "files/PatternFile.h"

#include <cstdint>
#include <cstdlib>

// Feeds arbitrary bytes to the pattern-file reader. Besides crashes, leaks and
// undefined behaviour it stops on a broken promise of the file layer: a
// refusal without a reason, or a loaded chart that cannot be saved or does not
// load back the same after saving.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const PatternFileResult loaded = parsePatternFile(QByteArrayView(data, qsizetype(size)));
    if (!loaded.ok()) {
        if (loaded.error.isEmpty())
            std::abort();
        return 0;
    }
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel)
            if (!fitsPatternFile(loaded.content->chart.at(step, channel)))
                std::abort();

    const QByteArray saved = formatPatternFile(loaded.content->chart, loaded.content->stepCount);
    const PatternFileResult reloaded = parsePatternFile(saved);
    if (!reloaded.ok() || !(*reloaded.content == *loaded.content))
        std::abort();
    if (formatPatternFile(reloaded.content->chart, reloaded.content->stepCount) != saved)
        std::abort();
    return 0;
}
