// Gives the fakes' Q_OBJECT classes a translation unit of their own.
#include "FakePlatform.h"
