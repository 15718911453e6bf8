#include "format/Aggregator.h"

namespace verolux::reports::format {

std::optional<AggregateFunction> ParseAggregateFunction(std::string_view) { return std::nullopt; }
void Aggregator::add(const TypedValue&) {}
void Aggregator::reset() { *this = Aggregator{}; }
TypedValue Aggregator::sum() const { return {}; }
TypedValue Aggregator::avg() const { return {}; }
TypedValue Aggregator::result(AggregateFunction) const { return {}; }

} // namespace verolux::reports::format
