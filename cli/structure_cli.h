#pragma once
// `orbelan create` and `orbelan alter`.
namespace orbelan {

struct CliContext;

int CreateCommand(CliContext& c);
int AlterCommand(CliContext& c);

}  // namespace orbelan
