// Reads arbitrary bytes as a "hostrun plant" config. Whatever the bytes, the
// check ends with either a config or at least one problem line, never both.
#include "plantconfig.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const hostrun::LoadedPlantConfig loaded =
        hostrun::parsePlantConfig(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)),
                                  QStringLiteral("/nonexistent-plant-folder"));
    if (loaded.config.has_value() == !loaded.problems.isEmpty())
        std::abort();
    for (const QString &problem : loaded.problems) {
        if (problem.isEmpty())
            std::abort();
    }
    return 0;
}
