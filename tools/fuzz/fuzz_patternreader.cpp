#include "FuzzCheck.h"
#include "files/PatternFile.h"

#include <cstdint>

// Feeds arbitrary bytes to the pattern-file reader. Besides crashes, leaks and
// undefined behaviour it stops on a broken promise of the file layer: a
// refusal without a reason, or a loaded chart that cannot be saved or does not
// load back the same after saving.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Result<PatternFileContent> loaded = parsePatternFile(QByteArrayView(data, qsizetype(size)));
    if (!loaded.ok()) {
        require(!loaded.reason().isEmpty(), "a refused file comes with a reason");
        return 0;
    }
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel)
            require(fitsPatternFile(loaded->chart.at(step, channel)), "every loaded cell can be saved");

    const QByteArray saved = formatPatternFile(loaded->chart, loaded->stepCount);
    const Result<PatternFileContent> reloaded = parsePatternFile(saved);
    require(reloaded.ok() && *reloaded == *loaded, "a saved chart loads back the same");
    require(formatPatternFile(reloaded->chart, reloaded->stepCount) == saved,
            "saving a reloaded chart gives the same bytes");
    return 0;
}
