// libFuzzer entry point: one input goes to both portal document decoders. Any crash, leak or undefined
// behaviour is a finding, and so is a rejection that does not say why.
#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

template <typename Document>
void decode(const QByteArray& json) {
    const auto result = Document::decode(json);
    if (!result.ok() && result.error().problem.isEmpty()) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Raw data without a copy: the bytes end exactly where libFuzzer's buffer does, so reading one past
    // the end is caught by AddressSanitizer instead of landing on QByteArray's terminating NUL.
    const QByteArray json =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    decode<quendle2::ICEStatus>(json);
    decode<quendle2::ICETripInfo>(json);
    return 0;
}
