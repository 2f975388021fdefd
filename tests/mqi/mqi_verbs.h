// The verbs the stand-in's cmqc.h does not declare yet, with IBM's signatures.
#pragma once

#include "../../mqi/client/verbs.h"
