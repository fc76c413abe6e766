// libFuzzer entry point: one input goes to both portal document decoders. Any crash, leak or undefined
// behaviour is a finding; a decoder that decodes the same bytes twice to different values is one too.
#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

template <typename Document>
void decodeTwice(const QByteArray& json) {
    const auto first = Document::decode(json);
    const auto second = Document::decode(json);
    if (first.ok() != second.ok() || (first.ok() && !(first.value() == second.value())) ||
        (!first.ok() && !(first.error() == second.error()))) {
        std::abort();
    }
    if (!first.ok() && first.error().description().isEmpty()) {
        std::abort(); // every rejection says why
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Raw data without a copy: the bytes end exactly where libFuzzer's buffer does, so reading one past
    // the end is caught by AddressSanitizer instead of landing on QByteArray's terminating NUL.
    const QByteArray json =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    decodeTwice<quendle2::ICEStatus>(json);
    decodeTwice<quendle2::ICETripInfo>(json);
    return 0;
}
