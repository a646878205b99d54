#include "response.h"

CResponseReader::CResponseReader(PFN_LINE pfnLine, void *pContext)
    : m_pfnLine(pfnLine), m_pContext(pContext), m_nState(0), m_bHeaderDone(false), m_nLine(0), m_cchLine(0)
{
    m_szLine[0] = '\0';
}

int CResponseReader::ReadHeader(const char *pChunk, int cbChunk)
{
    for (int i = 0; i < cbChunk && !m_bHeaderDone; ++i) {
        char c = pChunk[i];
        if (m_nState == 2) {
            // The byte after "\n\r" (the line feed of the empty line) ends the header.
            m_bHeaderDone = true;
            return i + 1;
        }
        if (c == '\n') {
            if (m_pfnLine)
                m_pfnLine(m_pContext, m_nLine, m_szLine);
            ++m_nLine;
            m_cchLine = 0;
            m_szLine[0] = '\0';
            m_nState = 1;
            continue;
        }
        m_nState = (m_nState == 1 && c == '\r') ? 2 : 0;
        if (m_cchLine < RESPONSE_LINE_SIZE - 1) {
            m_szLine[m_cchLine++] = c;
            m_szLine[m_cchLine] = '\0';
        }
    }
    return -1;
}
