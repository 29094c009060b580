// The default answer, applied once per run.

#include "records/program_configuration.h"

namespace karvel {

void apply_default_answer(ProgramConfiguration& configuration) {
  switch (configuration.get_default_answer()) {
    case 'A':
    case 'a':
      configuration.set_always_yes(1);
      break;
    case 'G':
    case 'g':
      configuration.set_group_mode(1);
      break;
    case 'Q':
    case 'q':
      configuration.set_check_similarity(0);
      break;
    default:
      break;
  }
}

}  // namespace karvel
