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

void CGsCopyList::AddChecked(const CGsFileName& source, const CGsFileName& destination, const GsDigest* digest)
{
    Add(source, destination);
    m_jobs.back().m_check = digest != nullptr ? CopyJob::kListed : CopyJob::kUnlisted;
    if (digest != nullptr)
        m_jobs.back().m_digest = *digest;
}
