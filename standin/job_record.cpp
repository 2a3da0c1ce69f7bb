// A job's record; see job_record.h.
#include "standin/job_record.h"

const MadeJob* JobRecord::Submitted() const {
    for (const MadeJob& job : madeJobs) {
        if (job.closed) {
            return &job;
        }
    }
    return nullptr;
}
