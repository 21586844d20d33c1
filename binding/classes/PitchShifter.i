%{
#include "units/delay/PitchShifter.h"
%}
class PitchShifter : public od::Object {
public:
  PitchShifter();
  virtual ~PitchShifter();
  void setVoiceCount(int n);
  int getVoiceCount() const;
};
