#include "engine/run_failure.h"

#include "app/texts.h"
#include "config/decimal_text.h"
#include "engine/run_report.h"

namespace tessaro {

FailureClass ClassifyFailure(int32_t number) {
    switch (number) {
        case 0:
            return FailureClass::None;
        case failure::kDllNotLoaded:
        case failure::kInvalidArgument:
            return FailureClass::Tolerated;
        case failure::kCorelNotRegistered:
            return FailureClass::CorelMissing;
        case failure::kNoAutomation:
            return FailureClass::CorelObjectFailed;
        default:
            return FailureClass::Unexpected;
    }
}

std::string FailureNumberText(int32_t number) {
    return DecimalText(number);
}

void FailureHandler::Raise(const RunFailure& failure) {
    // A failure that arrives without a number must never reach the report as "no failure", which would
    // tell the user the installation succeeded.
    if (failure.number == 0) {
        ReportRunResult(state_, platform_, RunFailure{failure::kUnspecified, failure.description});
    }
    if (ClassifyFailure(failure.number) != FailureClass::Tolerated) {
        ReportRunResult(state_, platform_, failure);
    }
    std::string line(text::kLogToleratedFailure);
    line += FailureNumberText(failure.number);
    LogLine(state_, line);
}

}  // namespace tessaro
