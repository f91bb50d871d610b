#include "files/GsCopyList.h"

void CGsCopyList::Clear()
{
    m_jobs.clear();
}

void CGsCopyList::Add(const CGsFileName& source, const CGsFileName& destination)
{
    CopyJob job;
    job.m_source = source;
    job.m_destination = destination;
    m_jobs.push_back(job);
}
