// Everything a user of the processing chain needs.
#pragma once

#include "chain.h"
#include "dsp_records.h"
#include "dsp_state.h"
#include "dsp_tables.h"
#include "dynamics.h"
#include "filters.h"
