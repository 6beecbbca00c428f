# benchmark targets: sweep
