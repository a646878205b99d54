// Reading an HTTP response that arrives in chunks of any size: its header lines
// and the end of its header, wherever the chunks split them.
#ifndef TARNWICK_RESPONSE_H
#define TARNWICK_RESPONSE_H

#define RESPONSE_LINE_SIZE 256

class CResponseReader {
public:
    // Called for each complete header line, without its line feed (a carriage
    // return before it is kept). nLine counts from 0, the status line.
    typedef void (*PFN_LINE)(void *pContext, int nLine, const char *pszLine);

    CResponseReader(PFN_LINE pfnLine, void *pContext);

    // Reads a chunk of the header. Returns the offset in the chunk at which the
    // body begins, or -1 while the header goes on. The header ends with a line
    // feed followed by a carriage return and one more byte; the body begins after
    // that byte.
    int ReadHeader(const char *pChunk, int cbChunk);

    bool HeaderDone() const { return m_bHeaderDone; }
    // True once the status line is complete (its line feed has arrived).
    bool StatusLineDone() const { return m_nLine > 0; }
    // The start of the line being read: the status line until it is complete.
    // Lines are kept to their first RESPONSE_LINE_SIZE - 1 bytes.
    const char *CurrentLine() const { return m_szLine; }

private:
    PFN_LINE m_pfnLine;
    void *m_pContext;
    int m_nState; // 0: within a line, 1: after a line feed, 2: after line feed and carriage return
    bool m_bHeaderDone;
    int m_nLine;
    int m_cchLine;
    char m_szLine[RESPONSE_LINE_SIZE];
};

#endif
