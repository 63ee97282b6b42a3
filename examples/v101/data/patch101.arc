keeps
